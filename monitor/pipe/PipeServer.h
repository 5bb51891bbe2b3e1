// Both ends of the local pipe above the bytes: the service's server, which answers each connected tray
// on a thread of its own and drops whatever does not keep to the protocol, and the frame reading both
// ends share.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "monitor/OwnedThread.h"
#include "monitor/pipe/PipeProtocol.h"
#include "platform/pipe.h"

namespace glimmerfen::pipe {

// How long the rest of a frame may take once its length has come: a client that sends half a frame
// and stops is refused after this.
inline constexpr std::chrono::milliseconds kFrameRestWait{2000};
// How long a reply may wait for its reader: a client that stops reading is dropped after this.
inline constexpr std::chrono::milliseconds kReplyWait{5000};
// Clients served at once; one more is disconnected as it comes.
inline constexpr std::size_t kMaxPipeClients = 8;

struct FrameRead {
    platform::PipeIo io = platform::PipeIo::Done;
    Refusal refusal = Refusal::None; // with io Done: the frame's length was out of bounds
};
// Reads one whole frame (length prefix included) of at most maxFrameBytes into frame: waits up to
// firstWait for its length, then up to kFrameRestWait for the rest. Nothing is allocated for a length
// out of bounds.
FrameRead ReadFrame(platform::PipeStream& stream, std::size_t maxFrameBytes, std::chrono::milliseconds firstWait,
                    std::string& frame);

// What the service answers one connected client; one per connection, used on its thread only.
class PipeConversation {
public:
    virtual ~PipeConversation() = default;
    virtual Reply Answer(const Request& request) = 0;
};

class PipeServer {
public:
    using ConversationFactory = std::function<std::unique_ptr<PipeConversation>()>;
    // Told of every frame refused (and of a reply too large to send), on the client's thread.
    using RefusalReport = std::function<void(Refusal)>;

    PipeServer(std::unique_ptr<platform::PipeListener> listener, ConversationFactory conversations,
               RefusalReport refused);
    // Stops if Stop was not called, waiting as long as a half-sent frame may take.
    ~PipeServer();
    PipeServer(const PipeServer&) = delete;
    PipeServer& operator=(const PipeServer&) = delete;

    void Start();
    // Takes no more clients, cancels every client's stream and waits until deadline for their threads.
    // A client whose command still waits for the server is left to finish on its own: false then, and
    // what its conversation uses must stay alive until the process ends (this object need not).
    bool Stop(std::chrono::steady_clock::time_point deadline);

private:
    struct Client {
        Client() : thread("a tray's pipe client") {}
        std::unique_ptr<platform::PipeStream> stream;
        OwnedThread thread;
        bool ended = false; // under Shared::mutex: the stream is closed and the thread on its way out
    };
    // What the accept thread and the clients' threads use: shared with them, so that a thread left
    // behind by Stop ends later on its own without touching this object.
    struct Shared {
        Shared(std::unique_ptr<platform::PipeListener> l, ConversationFactory c, RefusalReport r)
            : listener(std::move(l)), conversations(std::move(c)), refused(std::move(r)) {}
        const std::unique_ptr<platform::PipeListener> listener;
        const ConversationFactory conversations;
        const RefusalReport refused;
        std::mutex mutex;
        std::condition_variable clientEnded;
        std::list<Client> clients; // under mutex
        bool stopping = false;     // under mutex
    };
    static void AcceptLoop(const std::shared_ptr<Shared>& shared);
    static void Serve(Shared& shared, Client& client);
    // Drops the clients whose threads have ended; under mutex.
    static void Reap(Shared& shared);

    std::shared_ptr<Shared> shared_;
    OwnedThread acceptor_;
    bool stopped_ = false;
};

} // namespace glimmerfen::pipe
