#include "app/application_module.h"

int main(int argc, char** argv)
{
    return snaplark::platform::applicationMain(argc, argv, snaplark::applicationModule());
}
