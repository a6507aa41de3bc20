#include "app/TALVERNApp.h"

int main(int argc, char** argv) {
    CTALVERNApp app;
    return AfxWinMain(app, argc, argv);
}
