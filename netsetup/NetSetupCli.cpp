// netsetup-cli: lists the network scanners in the terminal and registers or
// removes the one chosen on standard input through the companion program.
#include <cstdio>

#include "netsetup/Apply.h"
#include "netsetup/EnumDev.h"
#include "netsetup/FrontEnd.h"

using namespace netsetup;

int main(int argc, char** argv)
{
    RunSettings settings;
    read_arguments(argc, argv, true, settings);
    if (!prepare_run(settings)) {
        return 1;
    }
    for (int i = 0; i < get_net_device_num(); ++i) {
        const NetDevice& device = *get_net_device(i);
        if (!passes_filter(device.model, settings)) {
            continue;
        }
        const char* mark = device.state == kRegistered ? "*" : " ";
        if (settings.queryOnly) {
            std::printf("%s %-13s[%15s]  %s\n", mark, device.model, device.address, device.name);
        } else {
            std::printf("%3d: %s %-13s[%15s]  %s\n", i, mark, device.model, device.address, device.name);
        }
    }
    if (settings.queryOnly) {
        return 0;
    }
    std::printf("   ->");
    std::fflush(stdout);
    char line[kChoiceChars + 1];
    if (!read_choice_line(stdin, line)) {
        return 0;
    }
    int row = 0;
    int action = kNoAction;
    if (parse_choice(line, get_net_device_num(), &row, &action)) {
        get_net_device(row)->action = action;
    }
    return apply_changes() ? 0 : 1;
}
