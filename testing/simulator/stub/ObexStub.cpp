// testing/simulator/stub/ObexStub.cpp - stand-in OBEX service for as long as
// obex/ brings no CreateObexSession of its own (this one is weak): one volume,
// every OBEX byte ignored.
#include "ObexService.h"

namespace sim {
namespace {

class CNoObexSession final : public IObexSession {
public:
  void OnBytes(const uint8_t*, size_t) override {}
  void Reset() override {}
  bool Control(const std::vector<std::string>&, std::string&) override { return false; }
  int VolumeCount() const override { return 1; }
};

}  // namespace

__attribute__((weak)) std::unique_ptr<IObexSession> CreateObexSession(const std::string&,
                                                                    SendFn) {
  return std::make_unique<CNoObexSession>();
}

}  // namespace sim
