#include "tests/mariadb/server_env.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <map>

namespace kq230::test_support {

bool ReadMariadbServer(const char* default_path, MariadbServer* server, std::string* error) {
  const char* path = std::getenv("KQ_MARIADB_ENV");
  if (path == nullptr || *path == '\0') path = default_path;
  if (path == nullptr || *path == '\0') {
    *error = "KQ_MARIADB_ENV is not set (start a server with scripts/mariadb-server.sh "
             "start DIR and point it at DIR/server.env)";
    return false;
  }
  std::ifstream in(path);
  if (!in) {
    *error = std::string("cannot read ") + path +
             " (is the server running? scripts/mariadb-server.sh start writes it)";
    return false;
  }

  std::map<std::string, std::string> values;
  std::string line;
  while (std::getline(in, line)) {
    size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }

  // Reports keys by name only: one of them is the password.
  const struct {
    const char* key;
    std::string* value;
  } fields[] = {
      {"KQ_MARIADB_HOST", &server->host},         {"KQ_MARIADB_SOCKET", &server->socket},
      {"KQ_MARIADB_USER", &server->user},         {"KQ_MARIADB_PASSWORD", &server->password},
      {"KQ_MARIADB_DATABASE", &server->database},
  };
  for (const auto& field : fields) {
    auto it = values.find(field.key);
    if (it == values.end() || it->second.empty()) {
      *error = std::string(path) + " has no " + field.key;
      return false;
    }
    *field.value = it->second;
  }

  const std::string& port = values["KQ_MARIADB_PORT"];
  unsigned parsed = 0;
  auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), parsed);
  if (ec != std::errc() || end != port.data() + port.size() || parsed == 0 || parsed > 65535) {
    *error = std::string(path) + " has no valid KQ_MARIADB_PORT";
    return false;
  }
  server->port = parsed;
  return true;
}

}  // namespace kq230::test_support
