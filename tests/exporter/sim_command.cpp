// Sends one command to the controller at ADDRESS and prints the reply: the end-to-end
// script's way to send @SIM commands to a simulator.
#include <cstdio>

#include "kestrum.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pelvane_sim_command ADDRESS COMMAND\n");
        return 2;
    }
    KST_HANDLE handle = nullptr;
    if (KST_FastOpen(KST_TYPE_ETHERNET, argv[1], 500, &handle) != 0) {
        std::fprintf(stderr, "cannot link to %s\n", argv[1]);
        return 1;
    }
    char reply[2048];
    const int32_t status = KST_Execute(handle, argv[2], 0, reply, sizeof reply);
    KST_Close(handle);
    std::fputs(reply, stdout);
    return status == 0 ? 0 : 1;
}
