// A session manager for one client, to end a session the way an X desktop does:
//   session_probe [--leave] ADDRESS_FILE [LIMIT_S]
// listens on a local ICE socket, writes the SESSION_MANAGER value to ADDRESS_FILE and accepts
// one client. The first SIGUSR1 (once the client registered) sends SaveYourself (save both,
// shutdown, no interaction, not fast); SaveYourselfDone prints "saved" on stdout. The second
// SIGUSR1 sends Die, and the probe waits for the client to close. With --leave, Die follows
// SaveYourselfDone at once and the probe ends without waiting, as an impatient session manager
// does. A client that closes after SaveYourselfDone and before Die ends the probe too. SIGTERM
// ends it at any time, the client's connection closed without a word.
// Exits 0 when the client said SaveYourselfDone with success and nothing went wrong; otherwise
// non-zero, saying why on stderr. LIMIT_S (default 30) bounds the whole run, and an alarm a
// little later ends the probe even if a read blocks.
#include <X11/ICE/ICElib.h>
#include <X11/SM/SMlib.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

enum class Stage { Listening, Connecting, Registered, Saving, Saved, Dying, Done };

struct Probe {
    Stage stage = Stage::Listening;
    IceConn ice = nullptr;
    SmsConn sms = nullptr;
    bool leave = false;
    int signals = 0; // SIGUSR1s taken so far
    bool saved = false;
    std::string failure;
};
Probe probe;
int g_pipe[2] = {-1, -1};

void fail(const std::string& why) {
    if (probe.failure.empty()) {
        probe.failure = why;
    }
    probe.stage = Stage::Done;
}

// SIGUSR1 takes the session a step further; SIGTERM ends the probe without a word to the
// client, as a session manager that goes away does (its sockets closed and removed).
void onSignal(int sig) {
    const char c = sig == SIGUSR1 ? 'u' : 't';
    [[maybe_unused]] auto n = ::write(g_pipe[1], &c, 1);
}

// Only clients on this machine's local socket: no other listener is polled, and any other
// client is turned away here.
Bool localOnly(char* host) {
    return host && std::strncmp(host, "local/", 6) == 0 ? True : False;
}

void onIoError(IceConn) {
    // Returning marks the connection bad; IceProcessMessages then reports it.
}

void onIceError(IceConn, Bool, int opcode, unsigned long, int errorClass, int severity,
                IcePointer) {
    std::fprintf(stderr, "session_probe: ICE error class %d on opcode %d (severity %d)\n",
                 errorClass, opcode, severity);
}

void onSmsError(SmsConn, Bool, int opcode, unsigned long, int errorClass, int severity, SmPointer) {
    std::fprintf(stderr, "session_probe: SM error class %d on opcode %d (severity %d)\n",
                 errorClass, opcode, severity);
}

void sendSaveYourself() {
    std::fprintf(stderr, "session_probe: SaveYourself\n");
    SmsSaveYourself(probe.sms, SmSaveBoth, True, SmInteractStyleNone, False);
    IceFlush(probe.ice);
    probe.stage = Stage::Saving;
}

void sendDie() {
    std::fprintf(stderr, "session_probe: Die\n");
    SmsDie(probe.sms);
    IceFlush(probe.ice);
    probe.stage = probe.leave ? Stage::Done : Stage::Dying;
}

// Each SIGUSR1 takes the session one step further, as far as the client has come.
void step() {
    if (probe.stage == Stage::Registered && probe.signals >= 1) {
        sendSaveYourself();
    } else if (probe.stage == Stage::Saved && probe.signals >= 2) {
        sendDie();
    }
}

Status registerClient(SmsConn conn, SmPointer, char* previousId) {
    std::free(previousId);
    char* id = SmsGenerateClientID(conn);
    const Status ok = id && SmsRegisterClientReply(conn, id);
    std::free(id);
    if (!ok) {
        fail("the client could not be registered");
        return 0;
    }
    std::fprintf(stderr, "session_probe: client registered\n");
    probe.stage = Stage::Registered;
    step();
    return 1;
}

void interactRequest(SmsConn conn, SmPointer, int) {
    // Asked not to: let it go on rather than stall the session.
    std::fprintf(stderr, "session_probe: the client asked to interact\n");
    SmsInteract(conn);
}

void interactDone(SmsConn, SmPointer, Bool cancel) {
    if (cancel) {
        fail("the client cancelled the shutdown");
    }
}

void saveYourselfRequest(SmsConn, SmPointer, int, Bool, int, Bool, Bool) {}

void phase2Request(SmsConn conn, SmPointer) {
    SmsSaveYourselfPhase2(conn);
}

void saveYourselfDone(SmsConn, SmPointer, Bool success) {
    if (probe.stage != Stage::Saving) {
        fail("SaveYourselfDone without SaveYourself");
        return;
    }
    if (!success) {
        fail("SaveYourselfDone reported failure");
        return;
    }
    probe.saved = true;
    probe.stage = Stage::Saved;
    std::fprintf(stderr, "session_probe: SaveYourselfDone\n");
    std::printf("saved\n");
    std::fflush(stdout);
    if (probe.leave) {
        sendDie();
    } else {
        step();
    }
}

void closeConnection(SmsConn, SmPointer, int count, char** reasons) {
    SmFreeReasons(count, reasons);
    std::fprintf(stderr, "session_probe: the client closed its connection\n");
    if (!probe.saved) {
        fail("the client left before it saved");
    }
    probe.stage = Stage::Done;
}

void setProperties(SmsConn, SmPointer, int count, SmProp** props) {
    for (int i = 0; i < count; ++i) {
        SmFreeProperty(props[i]);
    }
    std::free(props);
}

void deleteProperties(SmsConn, SmPointer, int count, char** names) {
    for (int i = 0; i < count; ++i) {
        std::free(names[i]);
    }
    std::free(names);
}

void getProperties(SmsConn conn, SmPointer) {
    SmsReturnProperties(conn, 0, nullptr);
}

Status newClient(SmsConn conn, SmPointer, unsigned long* mask, SmsCallbacks* cb, char**) {
    probe.sms = conn;
    *cb = SmsCallbacks{};
    cb->register_client.callback = registerClient;
    cb->interact_request.callback = interactRequest;
    cb->interact_done.callback = interactDone;
    cb->save_yourself_request.callback = saveYourselfRequest;
    cb->save_yourself_phase2_request.callback = phase2Request;
    cb->save_yourself_done.callback = saveYourselfDone;
    cb->close_connection.callback = closeConnection;
    cb->set_properties.callback = setProperties;
    cb->delete_properties.callback = deleteProperties;
    cb->get_properties.callback = getProperties;
    *mask = SmsRegisterClientProcMask | SmsInteractRequestProcMask | SmsInteractDoneProcMask |
            SmsSaveYourselfRequestProcMask | SmsSaveYourselfP2RequestProcMask |
            SmsSaveYourselfDoneProcMask | SmsCloseConnectionProcMask | SmsSetPropertiesProcMask |
            SmsDeletePropertiesProcMask | SmsGetPropertiesProcMask;
    return 1;
}

bool writeAddress(const char* path, const std::string& address) {
    const std::string tmp = std::string(path) + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "w");
    if (!f) {
        return false;
    }
    const bool ok = std::fprintf(f, "%s\n", address.c_str()) > 0;
    return std::fclose(f) == 0 && ok && std::rename(tmp.c_str(), path) == 0;
}

// Reads what the client sent; false once the connection is gone or was turned away.
bool serve() {
    if (IceProcessMessages(probe.ice, nullptr, nullptr) != IceProcessMessagesSuccess) {
        return false;
    }
    const auto status = IceConnectionStatus(probe.ice);
    return status == IceConnectPending || status == IceConnectAccepted;
}

} // namespace

int main(int argc, char** argv) {
    int arg = 1;
    if (arg < argc && std::strcmp(argv[arg], "--leave") == 0) {
        probe.leave = true;
        ++arg;
    }
    if (argc - arg < 1 || argc - arg > 2) {
        std::fprintf(stderr, "usage: session_probe [--leave] ADDRESS_FILE [LIMIT_S]\n");
        return 2;
    }
    const char* addressFile = argv[arg];
    const int limit = argc - arg == 2 ? std::atoi(argv[arg + 1]) : 30;
    if (limit <= 0) {
        std::fprintf(stderr, "session_probe: the limit is a number of seconds\n");
        return 2;
    }
    // The backstop: a read that blocks on a half-sent message still ends the probe.
    alarm(static_cast<unsigned>(limit) + 5);

    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("session_probe: pipe");
        return 2;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGUSR1, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    // A client may close as soon as it said SaveYourselfDone, before Die reaches it.
    signal(SIGPIPE, SIG_IGN);

    IceSetIOErrorHandler(onIoError);
    IceSetErrorHandler(onIceError);
    SmsSetErrorHandler(onSmsError);
    char error[256] = "";
    if (!SmsInitialize("nagomi-test", "1.0", newClient, nullptr, localOnly, sizeof error, error)) {
        std::fprintf(stderr, "session_probe: SmsInitialize: %s\n", error);
        return 2;
    }
    int count = 0;
    IceListenObj* listeners = nullptr;
    if (!IceListenForConnections(&count, &listeners, sizeof error, error)) {
        std::fprintf(stderr, "session_probe: IceListenForConnections: %s\n", error);
        return 2;
    }
    IceListenObj local = nullptr;
    std::string address;
    for (int i = 0; i < count; ++i) {
        IceSetHostBasedAuthProc(listeners[i], localOnly);
        char* id = IceGetListenConnectionString(listeners[i]);
        if (!local && id && std::strncmp(id, "local/", 6) == 0) {
            local = listeners[i];
            address = id;
        }
        std::free(id);
    }
    if (!local) {
        std::fprintf(stderr, "session_probe: no local ICE socket\n");
        return 2;
    }
    if (!writeAddress(addressFile, address)) {
        std::perror("session_probe: the address file");
        return 2;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limit);
    while (probe.stage != Stage::Done) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            fail("time ran out");
            break;
        }
        pollfd fds[2] = {{g_pipe[0], POLLIN, 0}, {-1, POLLIN, 0}};
        fds[1].fd =
            probe.ice ? IceConnectionNumber(probe.ice) : IceGetListenConnectionNumber(local);
        if (::poll(fds, 2, static_cast<int>(std::min<long long>(left, 200))) < 0) {
            continue; // EINTR: the signal's byte is in the pipe
        }
        if (fds[0].revents & POLLIN) {
            char buf[16];
            ssize_t n = 0;
            while ((n = ::read(g_pipe[0], buf, sizeof buf)) > 0) {
                probe.signals += static_cast<int>(std::count(buf, buf + n, 'u'));
                if (std::find(buf, buf + n, 't') != buf + n) {
                    fail("ended by SIGTERM");
                }
            }
            if (probe.stage != Stage::Done) {
                step();
            }
        }
        if (probe.stage == Stage::Done || !(fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            continue;
        }
        if (!probe.ice) {
            IceAcceptStatus accepted;
            probe.ice = IceAcceptConnection(local, &accepted);
            if (!probe.ice || accepted != IceAcceptSuccess) {
                fail("the client's connection was not accepted");
            } else {
                probe.stage = Stage::Connecting;
            }
        } else if (!serve()) {
            if (!probe.saved) {
                fail("the client's connection ended before it saved");
            }
            probe.stage = Stage::Done;
        }
    }

    if (probe.sms) {
        SmsCleanUp(probe.sms);
    }
    if (probe.ice) {
        IceSetShutdownNegotiation(probe.ice, False);
        IceCloseConnection(probe.ice);
    }
    IceFreeListenObjs(count, listeners);
    if (!probe.failure.empty() || !probe.saved) {
        std::fprintf(stderr, "session_probe: %s\n",
                     probe.failure.empty() ? "no SaveYourselfDone" : probe.failure.c_str());
        return 1;
    }
    return 0;
}
