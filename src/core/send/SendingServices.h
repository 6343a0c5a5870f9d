#pragma once

namespace quillcast {

class Clock;
class ConnectionProvider;
class LXMailCoreBridge;
class Sleeper;
class SystemMailClient;

// What a document's sending needs from outside: the SMTP transport, the
// user's own mail system, the application's connection list and the pacing
// of the send run. A missing transport means messages for it go nowhere.
struct SendingServices
{
    const LXMailCoreBridge *mailCore = nullptr;
    SystemMailClient *mailClient = nullptr;
    ConnectionProvider *connections = nullptr;
    // The send run's pacing: how it sleeps and the clock its pauses are
    // measured with (the system's when null; the document's clock, which may
    // be fixed for merging, is not used for this).
    Sleeper *sleeper = nullptr;
    const Clock *pacingClock = nullptr;

    // How messages that are sent leave: as the mailing says, or through the
    // transport chosen for this run alone (on the command line). A choice
    // for one run never changes the mailing: its transport and its kind of
    // message stay as saved.
    enum class Transport { AsMailingSays, MailServer, MailClient };
    Transport transport = Transport::AsMailingSays;
};

} // namespace quillcast
