#pragma once
// What the transfer tests know of the HTTP test servers (tests/harness/http-servers.sh):
// their ports, the files nginx serves, the fault server's bodies and nginx's access log.
#include <cstdint>
#include <string>
#include <vector>

namespace zv::test {

enum class Server { nginx, fault, closed };

// "http://127.0.0.1:PORT" + path.
std::wstring HttpUrl(Server server, const std::wstring& path);
// A file of the folder nginx serves.
std::string ServedFile(const std::wstring& name);
// The fault server's body of n bytes.
std::string FaultContent(size_t n);
// nginx's access-log lines whose URI contains marker.
std::vector<std::string> AccessLogLines(const std::string& marker);
// A marker unique to this process and call, for URLs whose log lines a test reads.
std::wstring UniqueMarker(const std::wstring& prefix);

} // namespace zv::test
