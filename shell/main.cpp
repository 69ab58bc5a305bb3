#include "shell/app.h"

int main(int argc, char** argv) {
    return runApp(argc, argv);
}
