#include "monitor/pipe/PipeServer.h"

#include <cstring>
#include <vector>

namespace glimmerfen::pipe {

FrameRead ReadFrame(platform::PipeStream& stream, std::size_t maxFrameBytes, std::chrono::milliseconds firstWait,
                    std::string& frame) {
    frame.assign(kLengthBytes, '\0');
    FrameRead result;
    result.io = stream.Read(frame.data(), kLengthBytes, firstWait);
    if (result.io != platform::PipeIo::Done) {
        return result;
    }
    const FrameLength length = ReadFrameLength(frame, maxFrameBytes);
    if (length.refusal != Refusal::None) {
        result.refusal = length.refusal;
        return result;
    }
    frame.resize(kLengthBytes + length.bodyBytes);
    result.io = stream.Read(frame.data() + kLengthBytes, length.bodyBytes, kFrameRestWait);
    return result;
}

PipeServer::PipeServer(std::unique_ptr<platform::PipeListener> listener, ConversationFactory conversations,
                       RefusalReport refused)
    : shared_(std::make_shared<Shared>(std::move(listener), std::move(conversations), std::move(refused))),
      acceptor_("the pipe's accept thread") {}

PipeServer::~PipeServer() {
    Stop(std::chrono::steady_clock::now() + kFrameRestWait);
}

void PipeServer::Start() {
    acceptor_.Start([shared = shared_] { AcceptLoop(shared); });
}

void PipeServer::AcceptLoop(const std::shared_ptr<Shared>& shared) {
    while (std::unique_ptr<platform::PipeStream> stream = shared->listener->Accept()) {
        std::lock_guard<std::mutex> lock(shared->mutex);
        if (shared->stopping) {
            return; // from here on Stop alone drops clients from the list
        }
        Reap(*shared);
        if (shared->clients.size() >= kMaxPipeClients) {
            continue; // closed as it goes out of scope
        }
        Client& client = shared->clients.emplace_back();
        client.stream = std::move(stream);
        // The list's nodes stay put, and a client is dropped from it only once its thread has ended.
        client.thread.Start([shared, &client] { Serve(*shared, client); });
    }
}

void PipeServer::Reap(Shared& shared) {
    shared.clients.remove_if([](const Client& client) { return client.ended && client.thread.Ended(); });
}

void PipeServer::Serve(Shared& shared, Client& client) {
    // The stream is reset only by this thread, at its end.
    platform::PipeStream& stream = *client.stream;
    const std::unique_ptr<PipeConversation> conversation = shared.conversations();
    std::string frame;
    for (;;) {
        // Between requests a client may be quiet as long as it likes; within one it may not.
        const FrameRead read = ReadFrame(stream, kMaxRequestBytes, platform::kPipeNoLimit, frame);
        Refusal refusal = read.refusal;
        std::optional<Request> request;
        if (read.io == platform::PipeIo::TimedOut) {
            refusal = Refusal::Truncated; // half a frame, and then nothing
        } else if (read.io != platform::PipeIo::Done) {
            break;
        } else if (refusal == Refusal::None) {
            Decoded<Request> decoded = DecodeRequest(frame);
            refusal = decoded.refusal;
            request = std::move(decoded.message);
        }
        std::string reply;
        if (request) {
            reply = EncodeReply(conversation->Answer(*request));
            if (reply.empty()) {
                refusal = Refusal::Oversized; // a table too large for one reply: nothing to send it
            }
        }
        if (refusal != Refusal::None) {
            shared.refused(refusal);
            // Told why, if it still listens; the stream cannot be trusted to be at a frame's start again.
            (void)stream.Write(EncodeReply(Refused{refusal}), std::chrono::milliseconds{200});
            break;
        }
        if (stream.Write(reply, kReplyWait) != platform::PipeIo::Done) {
            break; // gone, or stopped reading
        }
    }
    {
        // Closed now, not when the next client comes: the other end learns at once that it was dropped.
        std::lock_guard<std::mutex> lock(shared.mutex);
        client.stream.reset();
        client.ended = true;
    }
    shared.clientEnded.notify_all();
}

bool PipeServer::Stop(std::chrono::steady_clock::time_point deadline) {
    Shared& shared = *shared_;
    if (stopped_) {
        std::lock_guard<std::mutex> lock(shared.mutex);
        Reap(shared);
        return shared.clients.empty();
    }
    stopped_ = true;
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        shared.stopping = true;
        for (Client& client : shared.clients) {
            if (client.stream) {
                client.stream->Cancel();
            }
        }
    }
    shared.listener->Cancel();
    // No client joins once the accept thread has ended; one that came meanwhile is cancelled below.
    const bool acceptEnded = acceptor_.WaitUntil(deadline);
    std::vector<OwnedThread*> threads;
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        for (Client& client : shared.clients) {
            if (client.stream) {
                client.stream->Cancel();
            }
            threads.push_back(&client.thread);
        }
    }
    // The clients' records stay in the list (whose nodes stay put) until they are reaped under the lock,
    // and only this thread reaps now: the accept thread has ended or takes no more clients.
    bool clientsEnded = true;
    for (OwnedThread* thread : threads) {
        clientsEnded = thread->WaitUntil(deadline) && clientsEnded;
    }
    std::lock_guard<std::mutex> lock(shared.mutex);
    Reap(shared);
    return acceptEnded && clientsEnded && shared.clients.empty();
}

} // namespace glimmerfen::pipe
