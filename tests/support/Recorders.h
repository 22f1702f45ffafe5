// Records the program's message boxes instead of showing them.
#pragma once
#include <string>
#include <vector>

class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    std::vector<std::string> texts;
};
