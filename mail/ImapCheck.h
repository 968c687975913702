#pragma once
// One mail check over IMAP: log in (after STARTTLS when the settings ask for it), look at the
// inbox read-only, learn its count and the newest message's Message-ID, and log out. Nothing in
// the mailbox changes, not even a flag.
#include <cstdint>
#include <functional>
#include <string>

#include "core/Settings.h"
#include "mail/PopCheck.h"
#include "platform/TcpClient.h"

namespace mail {

// As CheckMail: returns the line to speak (empty for nothing), updates LastMessageID,
// LastMailNum and the view, raises AppError after closing the stream on socket and TLS failures
// (kNoStartTls when STARTTLS is asked for and not offered), returns "" when interrupted.
std::string CheckImap(platform::TcpStream& stream, core::Settings& s, bool alarmSounded,
                      MailView& view,
                      const std::function<std::int64_t()>& steadyMs = platform::steadyMs);

} // namespace mail
