#include "shell/CTNClientTestApp.h"

int main(int argc, char** argv)
{
    CTNClientTestApp app;
    return app.Run(argc, argv);
}
