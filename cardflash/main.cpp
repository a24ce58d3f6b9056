#include "commandline.h"

int main(int argc, char** argv)
{
    return runCardflash(argc, argv);
}
