// testing/simulator/obex/FlashStore.cpp - flash volumes on host folders.
#include "FlashStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace sim::obex {

const char* const kTelecom = "telecom";

namespace {

// Case folding as FAT applies it to long names: ASCII, Latin-1, Greek, Cyrillic.
char32_t Fold(char32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9) ||
      (c >= 0x410 && c <= 0x42F))
    return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

std::u32string Folded(const std::string& s) {
  std::u32string u = DecodeUtf8Lenient(s);
  for (char32_t& c : u) c = Fold(c);
  return u;
}

time_t MTime(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

void SetMTime(const std::string& path, time_t t) {
  timespec ts[2];
  ts[0].tv_sec = t;
  ts[0].tv_nsec = 0;
  ts[1] = ts[0];
  utimensat(AT_FDCWD, path.c_str(), ts, 0);
}

bool IsDir(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

uint64_t TreeSize(const std::string& path) {
  std::error_code ec;
  if (!IsDir(path)) {
    auto n = fs::file_size(path, ec);
    return ec ? 0 : n;
  }
  uint64_t total = 0;
  for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file(ec)) total += it->file_size(ec);
  }
  return total;
}

// Copies a file or a folder tree, keeping the modification times.
bool CopyTree(const std::string& from, const std::string& to) {
  std::error_code ec;
  if (IsDir(from)) {
    if (!fs::create_directory(to, ec) && ec) return false;
    for (auto& e : fs::directory_iterator(from, ec))
      if (!CopyTree(e.path().string(), (fs::path(to) / e.path().filename()).string())) return false;
  } else if (!fs::copy_file(from, to, ec)) {
    return false;
  }
  SetMTime(to, MTime(from));
  return true;
}

bool ValidLetters(const std::string& text, const std::string& allowed) {
  size_t last = 0;
  for (char c : text) {
    size_t at = allowed.find(c);
    if (at == std::string::npos || at < last) return false;
    last = at + 1;
  }
  return true;
}

}  // namespace

FlashStore::FlashStore(std::string dataDir) : m_dataDir(std::move(dataDir)) {
  std::error_code ec;
  fs::create_directories(m_dataDir + "/.meta", ec);
  fs::create_directories(m_dataDir + "/A", ec);
  fs::create_directories(m_dataDir + "/" + kTelecom, ec);
  if (!fs::exists(m_dataDir + "/" + kTelecom + "/devinfo.txt", ec)) WriteDeviceInfo("VKS-SIM");
}

void FlashStore::WriteDeviceInfo(const std::string& model) {
  std::ofstream f(m_dataDir + "/" + kTelecom + "/devinfo.txt", std::ios::binary | std::ios::trunc);
  f << "MANU:VKS test rig\r\nMOD:" << model << "\r\nSN:000000000000000\r\nIRMC-VERSION:1.1\r\n";
}

std::map<std::string, std::string> FlashStore::LoadConfig() const {
  std::map<std::string, std::string> config;
  std::ifstream f(m_dataDir + "/.meta/module.conf");
  std::string line;
  while (std::getline(f, line)) {
    size_t eq = line.find('=');
    if (eq != std::string::npos && line[0] != '#') config[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return config;
}

void FlashStore::SaveConfig(const std::map<std::string, std::string>& config) const {
  std::ofstream f(m_dataDir + "/.meta/module.conf", std::ios::trunc);
  for (auto& [k, v] : config) f << k << '=' << v << '\n';
}

int FlashStore::VolumeCount() const {
  auto config = LoadConfig();
  auto it = config.find("volumes");
  if (it != config.end()) {
    int n = atoi(it->second.c_str());
    if (n >= 1 && n <= kMaxVolumes) return n;
  }
  int n = 1;
  while (n < kMaxVolumes && IsDir(m_dataDir + "/" + char('A' + n))) ++n;
  return n;
}

void FlashStore::SetVolumeCount(int count) {
  auto config = LoadConfig();
  if (count <= 0) {
    config.erase("volumes");
  } else {
    config["volumes"] = std::to_string(count);
    std::error_code ec;
    for (int v = 0; v < count; ++v) fs::create_directories(m_dataDir + "/" + char('A' + v), ec);
  }
  SaveConfig(config);
}

VolumeConfig FlashStore::Volume(int v) const {
  auto config = LoadConfig();
  std::string p = std::string(1, char('A' + v)) + ".";
  VolumeConfig vc;
  if (config.count(p + "capacity")) vc.capacity = strtoull(config[p + "capacity"].c_str(), nullptr, 10);
  if (config.count(p + "label")) vc.label = config[p + "label"];
  if (config.count(p + "protect")) vc.writeProtected = config[p + "protect"] == "1";
  return vc;
}

void FlashStore::SetVolume(int v, const VolumeConfig& vc) {
  auto config = LoadConfig();
  std::string p = std::string(1, char('A' + v)) + ".";
  config[p + "capacity"] = std::to_string(vc.capacity);
  config[p + "label"] = vc.label;
  config[p + "protect"] = vc.writeProtected ? "1" : "0";
  SaveConfig(config);
}

std::vector<std::string> FlashStore::StdDirs() const {
  auto config = LoadConfig();
  std::string text = config.count("stddirs") ? config["stddirs"] : "Audio,Pictures,Video,Documents";
  std::vector<std::string> names;
  std::stringstream ss(text);
  for (std::string n; std::getline(ss, n, ',');)
    if (!n.empty()) names.push_back(n);
  return names;
}

void FlashStore::SetStdDirs(const std::vector<std::string>& names) {
  auto config = LoadConfig();
  std::string text;
  for (auto& n : names) text += (text.empty() ? "" : ",") + n;
  config["stddirs"] = text;
  SaveConfig(config);
}

uint64_t FlashStore::Used(int v) const {
  std::string root = m_dataDir + "/" + char('A' + v);
  uint64_t total = 0;
  std::error_code ec;
  for (auto& e : fs::directory_iterator(root, ec)) {
    if (SameName(e.path().filename().string(), kTelecom)) continue;  // shadowed by the system folder
    total += TreeSize(e.path().string());
  }
  return total;
}

uint64_t FlashStore::Free(int v) const {
  uint64_t cap = Volume(v).capacity, used = Used(v);
  return cap > used ? cap - used : 0;
}

bool FlashStore::SameName(const std::string& a, const std::string& b) { return Folded(a) == Folded(b); }

uint8_t FlashStore::CheckName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.size() > 255) return kRspBadRequest;
  std::u32string u = DecodeUtf8Lenient(name);
  size_t units = 0;
  for (char32_t c : u) {
    if (c < 0x20 || std::u32string(U"\\/:*?\"<>|").find(c) != std::u32string::npos) return kRspBadRequest;
    units += c >= 0x10000 ? 2 : 1;
  }
  return units <= 255 ? kRspOk : kRspBadRequest;
}

static bool IsTelecomFolder(const Location& folder) {
  return !folder.parts.empty() && FlashStore::SameName(folder.parts[0], kTelecom);
}

std::string FlashStore::StoreKey(const Location& folder) const {
  return IsTelecomFolder(folder) ? kTelecom : std::string(1, char('A' + folder.volume));
}

std::string FlashStore::RelPath(const Location& folder, const std::string& child) const {
  std::string rel;
  for (size_t i = IsTelecomFolder(folder) ? 1 : 0; i < folder.parts.size(); ++i) rel += folder.parts[i] + "/";
  return rel + child;
}

std::string FlashStore::HostPath(const Location& folder, const std::string& child) const {
  std::string path = m_dataDir + "/" + (IsTelecomFolder(folder) ? kTelecom : std::string(1, char('A' + folder.volume)));
  for (size_t i = IsTelecomFolder(folder) ? 1 : 0; i < folder.parts.size(); ++i) path += "/" + folder.parts[i];
  if (!child.empty()) path += "/" + child;
  return path;
}

bool FlashStore::FolderExists(const Location& folder) const {
  return folder.volume >= 0 && folder.volume < kMaxVolumes && IsDir(HostPath(folder));
}

bool FlashStore::Writable(const Location& folder) const {
  return IsTelecomFolder(folder) || !Volume(folder.volume).writeProtected;
}

uint64_t FlashStore::Counted(const Location& folder, uint64_t size) const {
  return IsTelecomFolder(folder) ? 0 : size;
}

std::optional<std::string> FlashStore::FindChild(const Location& folder, const std::string& name,
                                                 bool* isFolder) const {
  bool root = folder.parts.empty();
  if (root && SameName(name, kTelecom)) {
    std::error_code ec;
    fs::create_directories(m_dataDir + "/" + kTelecom, ec);
    if (isFolder) *isFolder = true;
    return std::string(kTelecom);
  }
  if (CheckName(name) != kRspOk) return std::nullopt;  // never ".", ".." or a path
  std::string dir = HostPath(folder);
  std::optional<std::string> found;
  std::error_code ec;
  struct stat st {};
  if (lstat((dir + "/" + name).c_str(), &st) == 0) {
    found = name;
  } else {
    for (auto& e : fs::directory_iterator(dir, ec)) {
      std::string n = e.path().filename().string();
      if (SameName(n, name)) {
        found = n;
        break;
      }
    }
  }
  if (found && isFolder) *isFolder = IsDir(dir + "/" + *found);
  return found;
}

FlashStore::MetaMap FlashStore::LoadMeta(const std::string& key) const {
  MetaMap meta;
  std::ifstream f(m_dataDir + "/.meta/" + key + ".attr", std::ios::binary);
  std::string line;
  while (std::getline(f, line)) {
    std::stringstream ss(line);
    std::string user, group, created, accessed, rel;
    if (!std::getline(ss, user, '\t') || !std::getline(ss, group, '\t') || !std::getline(ss, created, '\t') ||
        !std::getline(ss, accessed, '\t') || !std::getline(ss, rel))
      continue;
    meta[rel] = Meta{user, group, time_t(atoll(created.c_str())), time_t(atoll(accessed.c_str()))};
  }
  return meta;
}

void FlashStore::SaveMeta(const std::string& key, const MetaMap& meta) const {
  std::ofstream f(m_dataDir + "/.meta/" + key + ".attr", std::ios::binary | std::ios::trunc);
  for (auto& [rel, m] : meta)
    f << m.user << '\t' << m.group << '\t' << m.created << '\t' << m.accessed << '\t' << rel << '\n';
}

Entry FlashStore::MakeEntry(const std::string& hostPath, const std::string& name, const Meta* meta) const {
  Entry e;
  e.name = name;
  e.folder = IsDir(hostPath);
  std::error_code ec;
  if (!e.folder) {
    e.size = fs::file_size(hostPath, ec);
    if (ec) e.size = 0;
  }
  e.modified = MTime(hostPath);
  e.created = meta && meta->created ? meta->created : e.modified;
  e.accessed = meta && meta->accessed ? meta->accessed : e.modified;
  if (meta) {
    e.user = meta->user;
    e.group = meta->group;
  }
  return e;
}

uint8_t FlashStore::List(const Location& folder, std::vector<Entry>& out) const {
  out.clear();
  if (!FolderExists(folder)) return kRspNotFound;
  MetaMap meta = LoadMeta(StoreKey(folder));
  std::string dir = HostPath(folder);
  bool root = folder.parts.empty();
  std::error_code ec;
  for (auto& de : fs::directory_iterator(dir, ec)) {
    std::string n = de.path().filename().string();
    if (root && SameName(n, kTelecom)) continue;
    if (!de.is_regular_file(ec) && !de.is_directory(ec)) continue;
    auto it = meta.find(RelPath(folder, n));
    out.push_back(MakeEntry(de.path().string(), n, it == meta.end() ? nullptr : &it->second));
  }
  if (root) {
    Location tel{folder.volume, {kTelecom}};
    out.push_back(MakeEntry(HostPath(tel), kTelecom, nullptr));
  }
  std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) {
    if (a.folder != b.folder) return a.folder;
    return Folded(a.name) < Folded(b.name);
  });
  return kRspOk;
}

uint8_t FlashStore::Stat(const Location& folder, const std::string& name, Entry& out) const {
  if (!FolderExists(folder)) return kRspNotFound;
  auto host = FindChild(folder, name, nullptr);
  if (!host) return kRspNotFound;
  Location f = folder;
  if (f.parts.empty() && *host == kTelecom) {
    out = MakeEntry(HostPath({folder.volume, {kTelecom}}), kTelecom, nullptr);
    return kRspOk;
  }
  MetaMap meta = LoadMeta(StoreKey(folder));
  auto it = meta.find(RelPath(folder, *host));
  out = MakeEntry(HostPath(folder, *host), *host, it == meta.end() ? nullptr : &it->second);
  return kRspOk;
}

uint8_t FlashStore::ReadFile(const Location& folder, const std::string& name, Bytes& out) const {
  if (!FolderExists(folder)) return kRspNotFound;
  bool isFolder = false;
  auto host = FindChild(folder, name, &isFolder);
  if (!host) return kRspNotFound;
  if (isFolder) return kRspForbidden;
  std::ifstream f(HostPath(folder, *host), std::ios::binary);
  if (!f) return kRspForbidden;
  out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return kRspOk;
}

uint8_t FlashStore::CheckWrite(const Location& folder, const std::string& name, uint64_t size) const {
  if (!FolderExists(folder)) return kRspNotFound;
  if (uint8_t c = CheckName(name); c != kRspOk) return c;
  if (!Writable(folder)) return kRspDatabaseLocked;
  bool isFolder = false;
  auto host = FindChild(folder, name, &isFolder);
  uint64_t old = 0;
  if (host) {
    if (isFolder) return kRspConflict;
    MetaMap meta = LoadMeta(StoreKey(folder));
    auto it = meta.find(RelPath(folder, *host));
    if (it != meta.end() && it->second.user.find('W') == std::string::npos) return kRspForbidden;
    old = TreeSize(HostPath(folder, *host));
  }
  if (Counted(folder, size) > Counted(folder, old) &&
      Counted(folder, size) - Counted(folder, old) > Free(folder.volume))
    return kRspDatabaseFull;
  return kRspOk;
}

uint8_t FlashStore::WriteFile(const Location& folder, const std::string& name, const Bytes& data,
                              const Times& times) {
  if (uint8_t c = CheckWrite(folder, name, data.size()); c != kRspOk) return c;
  auto host = FindChild(folder, name, nullptr);
  std::string target = host.value_or(name);
  std::string tmp = m_dataDir + "/.meta/put-" + std::to_string(getpid()) + "-" + std::to_string(++m_tmpSerial);
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    if (!f) {
      std::remove(tmp.c_str());
      return kRspDatabaseFull;
    }
  }
  std::string path = HostPath(folder, target);
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    return kRspForbidden;
  }
  time_t modified = times.modified.value_or(time(nullptr));
  SetMTime(path, modified);
  std::string key = StoreKey(folder);
  MetaMap meta = LoadMeta(key);
  Meta& m = meta[RelPath(folder, target)];
  if (!host || !m.created) m.created = times.created.value_or(modified);
  m.accessed = times.accessed.value_or(modified);
  SaveMeta(key, meta);
  return kRspOk;
}

uint8_t FlashStore::Delete(const Location& folder, const std::string& name) {
  if (uint8_t c = CheckName(name); c != kRspOk) return c;
  if (!FolderExists(folder)) return kRspNotFound;
  bool isFolder = false;
  auto host = FindChild(folder, name, &isFolder);
  if (!host) return kRspNotFound;
  if (folder.parts.empty() && *host == kTelecom) return kRspForbidden;
  if (!Writable(folder)) return kRspDatabaseLocked;
  std::string key = StoreKey(folder), rel = RelPath(folder, *host);
  MetaMap meta = LoadMeta(key);
  auto it = meta.find(rel);
  std::error_code ec;
  if (isFolder) {
    if (!fs::is_empty(HostPath(folder, *host), ec)) return kRspForbidden;
  } else if (it != meta.end() && it->second.user.find('W') == std::string::npos) {
    return kRspForbidden;
  }
  if (!fs::remove(HostPath(folder, *host), ec)) return kRspForbidden;
  if (it != meta.end()) {
    meta.erase(it);
    SaveMeta(key, meta);
  }
  return kRspOk;
}

uint8_t FlashStore::CreateFolder(const Location& folder, const std::string& name) {
  if (!FolderExists(folder)) return kRspNotFound;
  bool isFolder = false;
  if (auto host = FindChild(folder, name, &isFolder)) return isFolder ? kRspAccepted : kRspConflict;
  if (uint8_t c = CheckName(name); c != kRspOk) return c;
  if (!Writable(folder)) return kRspDatabaseLocked;
  std::error_code ec;
  if (!fs::create_directory(HostPath(folder, name), ec)) return kRspForbidden;
  std::string key = StoreKey(folder);
  MetaMap meta = LoadMeta(key);
  time_t now = time(nullptr);
  meta[RelPath(folder, name)] = Meta{"RWD", "", now, now};
  SaveMeta(key, meta);
  return kRspOk;
}

uint8_t FlashStore::SetPermissions(const Location& folder, const std::string& name, const std::string& user,
                                   const std::string& group) {
  if (!ValidLetters(user, "RWD") || !ValidLetters(group, "RW") || CheckName(name) != kRspOk) return kRspBadRequest;
  if (!FolderExists(folder)) return kRspNotFound;
  auto host = FindChild(folder, name, nullptr);
  if (!host) return kRspNotFound;
  if (folder.parts.empty() && *host == kTelecom) return kRspForbidden;
  if (!Writable(folder)) return kRspDatabaseLocked;
  std::string key = StoreKey(folder);
  MetaMap meta = LoadMeta(key);
  Meta& m = meta[RelPath(folder, *host)];
  m.user = user;
  m.group = group;
  SaveMeta(key, meta);
  return kRspOk;
}

uint8_t FlashStore::SetTimes(const Location& folder, const std::string& name, const Times& times) {
  if (uint8_t c = CheckName(name); c != kRspOk) return c;
  if (!FolderExists(folder)) return kRspNotFound;
  auto host = FindChild(folder, name, nullptr);
  if (!host) return kRspNotFound;
  if (folder.parts.empty() && *host == kTelecom) return kRspForbidden;
  if (!Writable(folder)) return kRspDatabaseLocked;
  std::string path = HostPath(folder, *host);
  time_t before = MTime(path);
  if (times.modified) SetMTime(path, *times.modified);
  std::string key = StoreKey(folder);
  MetaMap meta = LoadMeta(key);
  Meta& m = meta[RelPath(folder, *host)];
  if (!m.created) m.created = before;
  if (!m.accessed) m.accessed = before;
  if (times.created) m.created = *times.created;
  if (times.accessed) m.accessed = *times.accessed;
  SaveMeta(key, meta);
  return kRspOk;
}

uint8_t FlashStore::CopyOrMove(const Location& srcFolder, const std::string& srcName, const Location& dstFolder,
                               const std::string& dstName, bool move) {
  if (!FolderExists(srcFolder) || !FolderExists(dstFolder)) return kRspNotFound;
  auto src = FindChild(srcFolder, srcName, nullptr);
  if (!src) return kRspNotFound;
  if (srcFolder.parts.empty() && *src == kTelecom) return kRspForbidden;
  if (uint8_t c = CheckName(dstName); c != kRspOk) return c;
  std::string from = HostPath(srcFolder, *src);
  auto existing = FindChild(dstFolder, dstName, nullptr);
  if (dstFolder.parts.empty() && SameName(dstName, kTelecom)) return kRspConflict;
  std::string to = HostPath(dstFolder, existing.value_or(dstName));
  bool sameEntry = existing && to == from;
  if (existing && !(move && sameEntry)) return kRspConflict;
  if (sameEntry) to = HostPath(dstFolder, dstName);  // a rename that changes case only
  if (!Writable(dstFolder) || (move && !Writable(srcFolder))) return kRspDatabaseLocked;
  if (to.compare(0, from.size() + 1, from + "/") == 0) return kRspForbidden;  // into its own subtree
  uint64_t size = TreeSize(from);
  bool sameVolume = StoreKey(srcFolder) == StoreKey(dstFolder);
  if (!(move && sameVolume) && Counted(dstFolder, size) > Free(dstFolder.volume)) return kRspDatabaseFull;

  std::error_code ec;
  if (move) {
    fs::rename(from, to, ec);
    if (ec) return kRspForbidden;
  } else if (!CopyTree(from, to)) {
    fs::remove_all(to, ec);
    return kRspDatabaseFull;
  }
  // Carry the attributes along: the entry itself and everything below it.
  std::string srcKey = StoreKey(srcFolder), dstKey = StoreKey(dstFolder);
  std::string srcRel = RelPath(srcFolder, *src), dstRel = RelPath(dstFolder, fs::path(to).filename().string());
  MetaMap srcMeta = LoadMeta(srcKey);
  MetaMap dstMeta = srcKey == dstKey ? srcMeta : LoadMeta(dstKey);
  MetaMap& target = srcKey == dstKey ? srcMeta : dstMeta;
  std::vector<std::pair<std::string, Meta>> moved;
  for (auto it = srcMeta.begin(); it != srcMeta.end();) {
    const std::string& rel = it->first;
    if (rel == srcRel || rel.compare(0, srcRel.size() + 1, srcRel + "/") == 0) {
      moved.emplace_back(dstRel + rel.substr(srcRel.size()), it->second);
      if (move) {
        it = srcMeta.erase(it);
        continue;
      }
    }
    ++it;
  }
  for (auto& [rel, m] : moved) target[rel] = m;
  SaveMeta(srcKey, srcMeta);
  if (srcKey != dstKey) SaveMeta(dstKey, dstMeta);
  return kRspOk;
}

uint8_t FlashStore::Format(int v) {
  if (v < 0 || v >= VolumeCount()) return kRspPreconditionFailed;
  if (Volume(v).writeProtected) return kRspDatabaseLocked;
  std::error_code ec;
  std::string root = m_dataDir + "/" + char('A' + v);
  for (auto& e : fs::directory_iterator(root, ec)) fs::remove_all(e.path(), ec);
  SaveMeta(std::string(1, char('A' + v)), {});
  return kRspOk;
}

uint8_t FlashStore::MakeStdDirs(int v) {
  if (v < 0 || v >= VolumeCount()) return kRspPreconditionFailed;
  if (Volume(v).writeProtected) return kRspDatabaseLocked;
  for (const std::string& name : StdDirs()) {
    uint8_t c = CreateFolder(Location{v, {}}, name);
    if (c != kRspOk && c != kRspAccepted) return c;
  }
  return kRspOk;
}

}  // namespace sim::obex
