#include "crypto_test_util.h"

#include <sstream>

#include "sysutils.h"

std::vector<std::string> RunModel(const std::vector<std::string>& requests) {
  TempDir dir;
  std::string text;
  for (const std::string& r : requests) text += r + "\n";
  WriteFileBytes(dir.File("request.txt"), text);
  std::string model = UnixPath(GetCurrentDir().str() + "\\crypto_model.py");
  std::string out;
  RunUnix("python3 " + Q(model) + " batch " + Q(UnixPath(dir.File("request.txt"))) + " " +
              Q(UnixPath(dir.File("reply.txt"))),
          &out);
  std::vector<std::string> lines;
  std::istringstream in(ReadFileBytes(dir.File("reply.txt")));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  if (lines.size() != requests.size()) lines.push_back("model failed: " + out);
  return lines;
}

std::string RunPython(const std::string& code) {
  std::string out;
  RunPython(code, std::string(), &out);
  return out;
}
