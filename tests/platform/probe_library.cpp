// A library for the library-loading tests; PROBE_NAME tells the builds apart.
extern "C" const char* probeName()
{
    return PROBE_NAME;
}
