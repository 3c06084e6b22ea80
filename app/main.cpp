#include "app/main_app.h"
#include "core/output_file.h"
#include "io/input_source.h"

int main(int argc, char** argv)
{
    // A desktop session that ends (SIGHUP, SIGTERM at logout) during a long
    // computation leaves no hidden temporary file beside the report.
    RemoveTemporaryFilesOnSignals();
    AllowMappedInput();
    CMainApp application(argc, argv);
    application.InitInstance();
    return 0;
}
