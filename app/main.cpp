#include "voxreel_app.h"

int main(int argc, char** argv)
{
    return CVoxreelApp().Run(argc, argv);
}
