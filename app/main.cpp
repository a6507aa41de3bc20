#include "app/TALVERNApp.h"
#include "platform/win32/KernelChoice.h"

int main(int argc, char** argv) {
    ChooseJpegLibraryKernels();  // before any picture is read or written
    CTALVERNApp app;
    return AfxWinMain(app, argc, argv);
}
