#include "frontend/startup.h"
#include "frontend/ui_install.h"

int main(int argc, char** argv) {
    installUserInterface();
    return kestrixMain(argc, argv);
}
