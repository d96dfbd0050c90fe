#pragma once

#include <map>
#include <string>
#include <vector>

// One control command of the command line ("send --from a --to b --text hi"), turned into the
// operation and JSON body of the control interface.
class SimCommand {
public:
    // args: the command name followed by its options. Files named by --file are read here.
    bool Parse(const std::vector<std::string>& args, std::string* error);

    const std::string& Operation() const { return operation_; }
    const std::string& Body() const { return body_; }
    int Port() const { return port_; }

    static bool IsCommand(const std::string& name);
    // The message type a file is sent as, from its suffix: 3 picture, 4 audio, 5 video, 2 file.
    static int TypeOfFile(const std::string& name);

private:
    bool Options(const std::vector<std::string>& args, std::string* error);
    std::string Get(const std::string& name) const;
    bool Require(const std::vector<std::string>& names, std::string* error) const;
    bool ReadFile(const std::string& path, std::string* data, std::string* error) const;
    bool BuildBody(std::string* error);

    std::string operation_, body_;
    int port_ = 8770;
    std::map<std::string, std::string> options_;
};
