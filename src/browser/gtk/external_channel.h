// The private D-Bus connection between the client and its web processes that carries the
// pages' window.external calls. A page's call blocks in its web process (see
// extension/external_extension.cpp) until the client has answered, so the page sees the
// outcome as the call's result. Names below are shared with the extension.
#pragma once

#include <glib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kelvra::browser::gtk {

inline constexpr const char* kExternalObjectPath = "/com/kelvra/External";
inline constexpr const char* kExternalInterface = "com.kelvra.External";
inline constexpr const char* kExternalMethod = "Invoke";
// The global through which the extension hands the native call to the injected script, which
// takes it and deletes it before any page script runs.
inline constexpr const char* kExternalInvokeGlobal = "__kelvraExternalInvoke";
// Longest message a web process may send; longer ones are refused unread.
inline constexpr std::size_t kExternalMessageLimit = 1 << 20;

// Answers one call: the web page's id and the JSON message in, the JSON reply out.
using ExternalAnswer = std::function<std::string(std::uint64_t page, std::string_view message)>;

// Decodes one Invoke call's parameters (page id and JSON message, which GDBus has already
// checked against "(ts)", the text for UTF-8) and answers it: a message over the limit is
// refused unread, and an answer that throws becomes a failure reply.
std::string AnswerExternalCall(GVariant* parameters, const ExternalAnswer& answer);

// Starts the listening socket once per process (later calls return the same address) and
// answers every call with answer on the main context. Throws Error when it cannot listen.
const std::string& StartExternalChannel(ExternalAnswer answer);

}  // namespace kelvra::browser::gtk
