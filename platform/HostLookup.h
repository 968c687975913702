#pragma once
// Name lookups that hold up neither the caller's thread nor the program's end: the system's
// resolver runs on a thread of its own, which nothing waits for, so a resolver that never
// answers costs a thread until its own time-out and nothing more.
#include <functional>
#include <string>
#include <vector>

class QObject;

namespace platform {

// Looks `name` up without blocking the caller's thread: `done` runs later with the addresses as
// text (IP literals, brackets and all, come back as themselves), or with none when the name
// does not resolve within `timeoutMs`. It runs on `context`'s thread and never once `context`
// is gone.
void lookUpHost(const std::string& name, QObject* context, int timeoutMs,
                std::function<void(std::vector<std::string>)> done);

// `host` without the brackets around an IPv6 literal.
std::string withoutBrackets(const std::string& host);

} // namespace platform
