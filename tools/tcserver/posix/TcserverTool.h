#pragma once
#include <iosfwd>
#include <string>
#include <vector>

// The command line of the reference server (see README.md beside this file).
// Exit codes: 0 done, 1 usage error, 2 refused (no such user, name taken,
// bad date), 3 the database or the network failed.
class TcserverTool {
public:
    // args without the program name. "serve" returns only when the process
    // is asked to stop (SIGINT, SIGTERM) or cannot start.
    static int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                   std::ostream& err);
};
