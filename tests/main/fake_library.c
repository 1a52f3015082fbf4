/* A library that loads and does nothing: stands in for an archiver library
   when only its presence matters. */
int tidebell_fake_library_marker(void)
{
    return 1;
}
