// A small model of the machine the installer runs on: a preferences node, a file
// system of existing paths, programs and scripts that take ports when they run, and
// a record of everything the installer did.
#pragma once

#include <strings.h>

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "installer/installer_core.h"

namespace fake {

// Steps like the ANSI functions of code page 936: a lead byte (0x81-0xFE) and
// whatever byte follows it are one character.
constexpr ansi::CharNextFn DbcsNext = &ansi::Gbk936CharNext;

inline const char* ByteNext(const char* p) { return *p ? p + 1 : p; }

// One value of the node as the enumeration lists it.
struct Value {
  Value(std::string n, std::optional<std::string> d, prefs::DataType t = prefs::DataType::kString,
        bool e = true)
      : name(std::move(n)), data(std::move(d)), type(t), exact(e) {}
  std::string name;                 // as the ANSI functions list it
  std::optional<std::string> data;  // none: cannot be read
  prefs::DataType type;
  bool exact;  // false: the code page's stand-in for a name it cannot hold
};

class Platform : public zavinstaller::InstallerSystem {
 public:
  // --- The machine ---
  bool nodeExists = true;
  // Values in enumeration order.
  std::vector<Value> values;
  // The node in the 64-bit registry view: absent unless a test gives it.
  bool node64Exists = false;
  std::vector<Value> values64;
  std::set<std::string> paths;
  std::set<std::uint16_t> takenPorts;
  // Ports taken once a command line is run, or a file opened through the shell.
  std::map<std::string, std::set<std::uint16_t>> effects;
  std::set<std::string> notCreatable;              // command lines that cannot be started
  std::map<std::string, std::uint32_t> exitCodes;  // by command line; 0 for the others
  std::set<std::string> shellFails;                // files the shell cannot open
  std::optional<std::string> userProfile = std::string("C:\\Users\\ann");
  zavinstaller::CharNextFn stepper = DbcsNext;

  // --- What the installer did ---
  std::vector<std::string> events;  // everything, in order
  std::vector<std::string> logs;
  std::string out;  // standard output
  std::vector<std::pair<std::string, std::string>> boxes;
  std::vector<std::string> runs;      // command lines started
  std::vector<std::string> programs;  // the program of each, by its full path
  std::vector<std::pair<std::string, std::string>> shellOpens;
  std::vector<std::string> createdFiles;
  std::vector<std::string> existsAsked;
  int opens = 0, closes = 0, enumerations = 0, prepared = 0;
  bool nodeOpen = false;

  zavinstaller::CharNextFn CharStepper() override { return stepper; }
  void PrepareLog() override {
    ++prepared;
    events.push_back("prepare");
  }
  void Log(const char* message) override {
    logs.emplace_back(message);
    events.push_back(std::string("log:") + message);
  }
  void Print(const char* text) override { out += text; }
  void ShowMessage(const char* text, const char* caption) override {
    boxes.emplace_back(text, caption);
    events.push_back(std::string("box:") + text);
  }
  bool IsPortFree(std::uint16_t port) override {
    events.push_back("port:" + std::to_string(port));
    return takenPorts.count(port) == 0;
  }
  // One view of the node as the enumeration lists it; its close is recorded.
  class Node : public zavinstaller::PrefsNode {
   public:
    Node(Platform& machine, bool in64) : machine_(machine), in64_(in64) {}
    ~Node() override {
      ++machine_.closes;
      machine_.nodeOpen = false;
      machine_.events.push_back(in64_ ? "close64" : "close");
    }
    zavinstaller::ValueAt EnumValue(std::uint32_t index, zavinstaller::PrefsValue& value) override {
      ++machine_.enumerations;
      const auto& node = in64_ ? machine_.values64 : machine_.values;
      if (index >= node.size()) return zavinstaller::ValueAt::kEnd;
      const Value& v = node[index];
      value = {};
      if (v.name.size() >= zavinstaller::kNameSize) {
        // As the system gives a name too long for the walk: cut, never exact.
        std::memcpy(value.name, v.name.c_str(), zavinstaller::kNameSize - 1);
        return zavinstaller::ValueAt::kUnreadable;
      }
      std::memcpy(value.name, v.name.c_str(), v.name.size() + 1);
      value.nameExact = v.exact;
      value.type = v.type;
      if (!v.data || v.data->size() >= zavinstaller::kBufferSize) return zavinstaller::ValueAt::kUnreadable;
      std::memcpy(value.data, v.data->c_str(), v.data->size());
      return zavinstaller::ValueAt::kRead;
    }

   private:
    Platform& machine_;
    bool in64_;
  };
  std::unique_ptr<zavinstaller::PrefsNode> OpenPrefsNode(prefs::View view) override {
    const bool in64 = view == prefs::View::k64;
    if (in64) {
      // A machine without a 64-bit node leaves no trace of the look.
      if (!node64Exists) return nullptr;
      events.push_back("open64");
    } else {
      events.push_back("open");
      if (!nodeExists) return nullptr;
    }
    ++opens;
    nodeOpen = true;
    return std::make_unique<Node>(*this, in64);
  }
  bool SameValueName(const char* a, const char* b) override { return strcasecmp(a, b) == 0; }
  bool Exists(const char* path) override {
    existsAsked.emplace_back(path);
    // Windows drops trailing blanks of a path.
    std::string p(path);
    while (!p.empty() && p.back() == ' ') p.pop_back();
    return paths.count(p) != 0;
  }
  bool RegistryHasTwoViews() override { return true; }
  bool ShellOpen(const char* file, const char* params, const char* folder) override {
    shellOpens.emplace_back(file, params);
    events.push_back(std::string("shell:") + file + "|" + params +
                     (folder ? std::string("|in ") + folder : ""));
    if (shellFails.count(file)) return false;
    Take(file);
    return true;
  }
  std::optional<std::uint32_t> StartAndWait(const char* program, const char* commandLine) override {
    events.push_back(std::string("run:") + commandLine);
    if (notCreatable.count(commandLine)) return std::nullopt;
    runs.emplace_back(commandLine);
    programs.emplace_back(program);
    Take(commandLine);
    auto code = exitCodes.find(commandLine);
    return code == exitCodes.end() ? 0 : code->second;
  }
  bool SystemProgramPath(const char* fileName, zavinstaller::Buffer& path) override {
    return zavinstaller::Compose(path, {"C:\\Windows\\system32\\", fileName}, stepper);
  }
  bool UserProfile(std::string& value) override {
    if (!userProfile) return false;
    value = *userProfile;
    return true;
  }
  bool CreateEmptyFile(const char* path) override {
    createdFiles.emplace_back(path);
    events.push_back(std::string("create:") + path);
    return true;
  }
  void Sleep(unsigned milliseconds) override { events.push_back("sleep:" + std::to_string(milliseconds)); }

  // Index of the first event equal to `e`, or -1.
  int IndexOf(const std::string& e) const {
    for (std::size_t i = 0; i < events.size(); ++i) {
      if (events[i] == e) return static_cast<int>(i);
    }
    return -1;
  }
  bool Saw(const std::string& e) const { return IndexOf(e) >= 0; }

 private:
  void Take(const std::string& key) {
    auto it = effects.find(key);
    if (it != effects.end()) takenPorts.insert(it->second.begin(), it->second.end());
  }
};

}  // namespace fake
