#include "app/main_app.h"

int main(int argc, char** argv)
{
    CMainApp application(argc, argv);
    application.InitInstance();
    return 0;
}
