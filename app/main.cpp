#include "app/application.h"
#include "platform/signals.h"

int main(int argc, char** argv) {
    qf::BlockTerminationSignals();
    std::vector<qf::Text> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(qf::Utf8ToText(argv[i]));
    return qf::RunProgram(arguments);
}
