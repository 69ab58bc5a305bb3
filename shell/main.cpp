#include "shell/app.h"
#include "shell/program_info.h"

int main(int argc, char** argv) {
    const int answered = answerProgramInfo(argc, argv, stdout);
    if (answered >= 0) {
        return answered;
    }
    return runApp(argc, argv);
}
