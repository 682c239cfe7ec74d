// The automation class on the D-Bus session bus, under its ProgID as the bus name.
//
//   /KelvraeduApp/TKelvraAppToIe         KelvraeduApp.ClassFactory
//       CreateInstance() -> o             a new counted object, owned by the caller
//       LockServer(b lock)                counts (true) or releases (false) one lock of the caller
//   /KelvraeduApp/TKelvraAppToIe/<n>     KelvraeduApp.ITKelvraAppToIe
//       GetKelvraApp() -> s               "kelvraeduapp"
//       CreateVantle(v crs_id, ... v crs_url), ShowHint(v hint_tilte, v hint_content)
//       Release()                         releases the object
//   Objects answer only the caller that created them; others get kBusAccessDenied.
//
// Values arrive as variants: strings are text, numbers and booleans their kinds, arrays
// are arrays and anything else (structures, dictionaries) an object. D-Bus has no empty or
// null value; an empty string gives the same course text as an empty value. A member's failure is
// the D-Bus error KelvraeduApp.Error with the Windows object's description as its message. Objects
// and locks of a caller that leaves the bus are released.
#pragma once

#include <cstddef>
#include <functional>

namespace kelvra::bridge {

inline constexpr const char* kBusErrorName = "KelvraeduApp.Error";
// What a caller gets from an object another caller created (E_ACCESSDENIED's text).
inline constexpr const char* kBusAccessDenied = "org.freedesktop.DBus.Error.AccessDenied";
inline constexpr const char* kAccessDeniedText = "General access denied error";
inline constexpr const char* kFactoryPath = "/KelvraeduApp/TKelvraAppToIe";
// The most argument bytes a member call may carry; a longer call fails unhandled.
inline constexpr std::size_t kBusCallLimit = 1 << 20;

// Offers the class on the session bus named by DBUS_SESSION_BUS_ADDRESS (or the user's
// runtime bus); without a bus it offers nothing. on_last_release runs (from the main loop)
// each time the object count falls to zero.
void StartBusClassServer(std::function<void()> on_last_release);
void StopBusClassServer();

// Live counted objects plus outstanding locks.
long BusObjectCount();

}  // namespace kelvra::bridge
