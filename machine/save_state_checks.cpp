#include "machine/save_state_checks.h"

#include <algorithm>
#include <cstdio>

#include "machine/ports.h"

namespace pellux::state {

namespace {

std::string Hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
  return text;
}

}  // namespace

Status ImpossibleProcessor(const CpuState& cpu, const ConditionBytes& conditions) {
  // In the section's order: the condition flags, then S, T and traceJustSet.
  const auto held = [](std::uint8_t flag) { return Fail("a processor flag holds " + std::to_string(flag)); };
  for (const std::uint8_t flag : conditions) {
    if (flag > 1) return held(flag);
  }
  for (const std::uint8_t flag : {cpu.s, cpu.t, cpu.traceJustSet}) {
    if (flag > 1) return held(flag);
  }
  if (cpu.intMask > 7) return Fail("the interrupt mask is " + std::to_string(cpu.intMask));
  if (cpu.pendingInts & 1) return Fail("interrupt level 0 is pending");
  if (static_cast<unsigned>(cpu.runState) > static_cast<unsigned>(RunState::DeviceRequest)) {
    return Fail("the processor's run state is unknown");
  }
  return Ok();
}

Status ImpossibleChips(const Calculator& m) {
  if (static_cast<std::uint32_t>(m.flashState) > static_cast<std::uint32_t>(FlashState::ProgramSetup)) {
    return Fail("the flash command state is unknown");
  }
  for (unsigned n = 0; n < kPortCount; ++n) {
    if (!PortCanHold(n, m.ports[n])) return Fail("port " + Hex(n, 2) + " holds " + Hex(m.ports[n], 2));
  }
  const bool keyHeld =
      std::any_of(m.keyMatrix.begin(), m.keyMatrix.end(), [](std::uint8_t r) { return r != 0xFF; });
  if (m.anyKeyDown != (keyHeld ? 1u : 0u))
    return Fail("the keyboard matrix disagrees with its key-down flag");
  // Port 0x17 sets the reload, a byte.
  if (m.timerReload > 0xFF) return Fail("the timer reload " + Hex(m.timerReload, 8) + " is not a byte");
  // Ports 0x10 and 0x11 set bits 3 to 18.
  if (m.lcdBase & ~std::uint32_t{0x7FFF8}) {
    return Fail("the LCD address " + Hex(m.lcdBase, 8) + " is not a multiple of 8 below 0x80000");
  }
  // Every run slice sets all the bits; a write of port 0x05 sets bit 5 and
  // the low five as written.
  if ((m.wakeMask & ~std::uint32_t{0x1F}) != 0x20) return Fail("the wake-up mask is " + Hex(m.wakeMask, 8));
  return Ok();
}

Status ImpossibleLink(const LinkSection<LinkPort>& link, std::uint8_t badFlag) {
  const LinkPort& p = link.port;
  if (badFlag != 0) return Fail("a link port flag holds " + std::to_string(badFlag));
  if (link.transferInFlight > 1)
    return Fail("the link's transfer flag holds " + std::to_string(link.transferInFlight));
  if (p.peerLines & ~link_line::kBoth)
    return Fail("the other end of the link holds lines " + Hex(p.peerLines, 2));
  if (p.conditions & ~(0x0F | link_condition::kLookAgain))
    return Fail("the link conditions are " + Hex(p.conditions, 2));
  for (const auto& [units, what] : {std::pair{p.txUnits, "sent"}, std::pair{p.arrivingUnits, "received"}}) {
    if (units > kLinkByteUnits) {
      return Fail("the link byte being " + std::string(what) + " has " + std::to_string(units) +
                  " units to go, more than a byte takes");
    }
  }
  if ((p.txFull || p.arriving || p.rxFull) && !link.transferInFlight) {
    return Fail("a link byte is in flight but the state says no transfer was");
  }
  return Ok();
}

}  // namespace pellux::state
