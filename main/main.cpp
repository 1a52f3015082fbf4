// Program entry.
#include "main/program.h"

int main(int argc, char** argv)
{
    return tidebell::runProgram(argc, argv);
}
