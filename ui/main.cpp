#include "ui/Startup.h"

int main(int argc, char** argv)
{
    return RunLumiva(argc, argv);
}
