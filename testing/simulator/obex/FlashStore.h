// testing/simulator/obex/FlashStore.h - the module's flash volumes, each a host
// folder under the data folder, with what FAT keeps beside the data (labels,
// capacities, attributes, creation and access times) in dataDir/.meta.
#pragma once
#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ObexCodec.h"

namespace sim::obex {

constexpr int kMaxVolumes = 3;
constexpr uint64_t kDefaultCapacity = 16u << 20;
constexpr size_t kMaxLabelChars = 11;
extern const char* const kTelecom;  // the system folder shown at every volume root

// One listing row.
struct Entry {
  std::string name;  // host bytes, normally UTF-8
  bool folder = false;
  uint64_t size = 0;
  time_t modified = 0, created = 0, accessed = 0;
  std::string user = "RWD", group;  // permission letters as the listing shows them
};

struct VolumeConfig {
  uint64_t capacity = kDefaultCapacity;
  std::string label;
  bool writeProtected = false;
};

// A module folder: volume index and the host names of the folders below its
// root. A first part "telecom" (any case) is the shared telecom folder.
struct Location {
  int volume = 0;
  std::vector<std::string> parts;
  bool operator==(const Location& o) const { return volume == o.volume && parts == o.parts; }
};

// Times a PUT or a SetTime gives; absent ones stay as they are.
struct Times {
  std::optional<time_t> created, modified, accessed;
};

// Each operation answers with an OBEX response code (kRspOk on success).
class FlashStore {
public:
  explicit FlashStore(std::string dataDir);

  const std::string& DataDir() const { return m_dataDir; }
  int VolumeCount() const;
  void SetVolumeCount(int count);  // 0: as many as the folders A, B, C found
  VolumeConfig Volume(int v) const;
  void SetVolume(int v, const VolumeConfig& config);
  uint64_t Used(int v) const;
  uint64_t Free(int v) const;
  std::vector<std::string> StdDirs() const;
  void SetStdDirs(const std::vector<std::string>& names);
  // Writes telecom/devinfo.txt with a "MOD:" line.
  void WriteDeviceInfo(const std::string& model);

  // The host name of a child of folder matching name (UTF-8) without case, as
  // FAT matches; nullopt when there is none.
  std::optional<std::string> FindChild(const Location& folder, const std::string& name, bool* isFolder) const;
  bool FolderExists(const Location& folder) const;
  std::string HostPath(const Location& folder, const std::string& child = {}) const;

  uint8_t List(const Location& folder, std::vector<Entry>& out) const;
  uint8_t Stat(const Location& folder, const std::string& name, Entry& out) const;
  uint8_t ReadFile(const Location& folder, const std::string& name, Bytes& out) const;
  uint8_t WriteFile(const Location& folder, const std::string& name, const Bytes& data, const Times& times);
  // A file of size bytes replacing name would fit (kRspOk), or the error it gets.
  uint8_t CheckWrite(const Location& folder, const std::string& name, uint64_t size) const;
  uint8_t Delete(const Location& folder, const std::string& name);
  // kRspOk when made, kRspAccepted when it was there already.
  uint8_t CreateFolder(const Location& folder, const std::string& name);
  uint8_t SetPermissions(const Location& folder, const std::string& name, const std::string& user,
                         const std::string& group);
  uint8_t SetTimes(const Location& folder, const std::string& name, const Times& times);
  uint8_t CopyOrMove(const Location& srcFolder, const std::string& srcName, const Location& dstFolder,
                     const std::string& dstName, bool move);
  uint8_t Format(int v);
  uint8_t MakeStdDirs(int v);

  // Module name rules (FAT long names): kRspOk or kRspBadRequest.
  static uint8_t CheckName(const std::string& name);
  static bool SameName(const std::string& a, const std::string& b);

private:
  struct Meta {
    std::string user = "RWD", group;
    time_t created = 0, accessed = 0;
  };
  using MetaMap = std::map<std::string, Meta>;

  std::string StoreKey(const Location& folder) const;
  std::string RelPath(const Location& folder, const std::string& child) const;
  MetaMap LoadMeta(const std::string& key) const;
  void SaveMeta(const std::string& key, const MetaMap& meta) const;
  std::map<std::string, std::string> LoadConfig() const;
  void SaveConfig(const std::map<std::string, std::string>& config) const;
  bool Writable(const Location& folder) const;
  uint64_t Counted(const Location& folder, uint64_t size) const;
  Entry MakeEntry(const std::string& hostPath, const std::string& name, const Meta* meta) const;

  std::string m_dataDir;
  mutable unsigned m_tmpSerial = 0;
};

}  // namespace sim::obex
