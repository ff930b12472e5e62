#include "platform/socket.h"

int main(int argc, char** argv) {
    qf::IgnoreBrokenPipes();
    return 0;
}
