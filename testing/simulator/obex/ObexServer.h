// testing/simulator/obex/ObexServer.h - the module's OBEX file service: one
// complete request packet in, one response packet out. No clock and no line:
// framing, pacing and faults are the session's (ObexSession.cpp).
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "FlashStore.h"
#include "Listing.h"
#include "ObexCodec.h"

namespace sim::obex {

extern const uint8_t kFileTarget[16];
extern const char kSyncTarget[9];  // "IRMC-SYNC", no NUL
extern const uint8_t kFolderBrowsingTarget[16];  // OBEX's standard one, for other clients
constexpr uint16_t kDefaultMaxPacket = 16390;
constexpr const char* kListingType = "x-obex/folder-listing";

struct ServerOptions {
  uint16_t maxPacket = kDefaultMaxPacket;  // announced in the CONNECT response
  bool escapeNames = true;                 // entity references in listing names
  std::optional<uint8_t> refuseConnect;    // answer every CONNECT with this code
  unsigned cardsOut = 0;                   // bit v: volume v's card is out
  ListingShape listing = ListingShape::Whole;  // how folder listings come out
};

class ObexServer {
public:
  explicit ObexServer(FlashStore& store);

  ServerOptions& Options() { return m_options; }
  const ServerOptions& Options() const { return m_options; }
  // One whole packet (its length field already matches).
  Bytes Handle(const uint8_t* data, size_t length);
  // The answer to a request that is not carried out (an injected error); any
  // operation under way ends.
  Bytes Refuse(const uint8_t* data, size_t length, uint8_t code);
  // The line went away: no connection, no operation under way. A reboot also
  // forgets where interrupted reads stopped.
  void Reset(bool reboot);

  bool Connected() const { return m_connected; }
  std::string CurrentFolder() const;
  // Largest packet the module receives, or sends to this client.
  uint16_t ReceiveLimit() const;
  uint16_t SendLimit() const;

  // The request log (every request with its answer, and the session's notes).
  void Note(const std::string& entry);
  std::vector<std::string> LogEntries(size_t from) const;  // from is 1-based
  size_t LogCount() const { return m_logBase + m_log.size(); }
  void ClearLog();

  static std::string Describe(const Request& req);

private:
  enum class Op { None, Put, Get };

  Bytes Dispatch(const Request& req);
  bool CardOut(int volume) const { return (m_options.cardsOut >> volume) & 1; }
  Bytes Connect(const Request& req);
  Bytes SetPath(const Request& req);
  Bytes Put(const Request& req);
  Bytes Get(const Request& req);
  uint8_t FinishPut();
  uint8_t PreparePut();
  uint8_t BuildGet();
  Bytes NextGetPacket();
  void EndOperation();
  Bytes ConnectReply(uint8_t code, const Bytes& who) const;

  // Resolves "X:/a/b" or "/a/b" or "a/b" (from the current folder) to a folder
  // and a last name; code kRspOk on success.
  uint8_t ResolvePath(const std::string& path, Location& folder, std::string& name) const;
  int VolumeOfNames(size_t skipLast) const;
  uint64_t ResumeCount(const std::string& key, uint8_t low) const;

  FlashStore& m_store;
  ServerOptions m_options;
  bool m_connected = false;
  uint32_t m_connectionId = 0;
  uint16_t m_clientMax = 255;
  Location m_cur;

  // The operation under way (several packets of one PUT or GET).
  Op m_op = Op::None;
  std::vector<std::string> m_names;  // UTF-8, in arrival order
  std::string m_type;
  std::vector<std::string> m_times;
  std::optional<uint32_t> m_length;
  Bytes m_appParams;
  Bytes m_body;
  bool m_bodySeen = false;
  bool m_prepared = false;
  uint64_t m_putRoom = 0;
  bool m_getBuilt = false;
  Bytes m_getHeaders;  // headers of the first response packet
  Bytes m_getData;
  size_t m_getPos = 0;
  bool m_getHasBody = false;
  std::string m_getKey;  // file whose stop point is tracked, or empty
  uint64_t m_getBase = 0;

  std::map<std::string, uint64_t> m_stops;  // file -> where its last read stopped
  std::deque<std::string> m_log;
  size_t m_logBase = 0;  // entries dropped from the front
};

}  // namespace sim::obex
