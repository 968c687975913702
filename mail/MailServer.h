#pragma once
// Where and how a check reaches the mailbox: the protocol, the port and the security the settings
// ask for, shared by the POP3 and IMAP dialogues.
#include "core/Settings.h"

namespace mail {

enum class Protocol { Pop3, Imap };
enum class Security { None, StartTls, Tls };

inline Protocol protocolOf(const core::Settings& s) {
    return s.MailProtocol == 1 ? Protocol::Imap : Protocol::Pop3;
}
inline Security securityOf(const core::Settings& s) {
    return s.POPSecurity == 2   ? Security::Tls
           : s.POPSecurity == 1 ? Security::StartTls
                                : Security::None;
}
// POPPort, or the standard port when it is 0: POP3 110 (995 over TLS), IMAP 143 (993 over TLS).
inline int portOf(const core::Settings& s) {
    if (s.POPPort > 0 && s.POPPort <= 65535) {
        return s.POPPort;
    }
    const bool tls = securityOf(s) == Security::Tls;
    return protocolOf(s) == Protocol::Imap ? (tls ? 993 : 143) : (tls ? 995 : 110);
}

// A server that does not offer STARTTLS (STLS) when the settings ask for it gets no log-in.
inline const char* const kNoStartTls = "暗号化通信（STARTTLS）に対応していないサーバです";

} // namespace mail
