#include "monitor/pipe/PipeServer.h"

#include <cstring>

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
    : listener_(std::move(listener)), conversations_(std::move(conversations)), refused_(std::move(refused)) {}

PipeServer::~PipeServer() {
    Stop(std::chrono::steady_clock::now() + kFrameRestWait);
    // Threads left running own nothing of this object but their Client record, which the list keeps;
    // the process ends after such a stop.
    if (clients_.empty()) {
        return;
    }
    for (Client& client : clients_) {
        client.thread.detach();
    }
    (void)new std::list<Client>(std::move(clients_));
}

void PipeServer::Start() {
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

void PipeServer::AcceptLoop() {
    while (std::unique_ptr<platform::PipeStream> stream = listener_->Accept()) {
        std::lock_guard<std::mutex> lock(mutex_);
        Reap();
        if (stopping_) {
            return;
        }
        if (clients_.size() >= kMaxPipeClients) {
            continue; // closed as it goes out of scope
        }
        Client& client = clients_.emplace_back();
        client.stream = std::move(stream);
        client.thread = std::thread([this, &client] { Serve(client); });
    }
}

void PipeServer::Reap() {
    for (auto it = clients_.begin(); it != clients_.end();) {
        if (it->ended.load()) {
            it->thread.join();
            it = clients_.erase(it);
        } else {
            ++it;
        }
    }
}

void PipeServer::Serve(Client& client) {
    // The stream is reset only by this thread, at its end.
    platform::PipeStream& stream = *client.stream;
    const std::unique_ptr<PipeConversation> conversation = conversations_();
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
            refused_(refusal);
            // Told why, if it still listens; the stream cannot be trusted to be at a frame's start again.
            stream.Write(EncodeReply(Refused{refusal}), std::chrono::milliseconds{200});
            break;
        }
        if (stream.Write(reply, kReplyWait) != platform::PipeIo::Done) {
            break; // gone, or stopped reading
        }
    }
    {
        // Closed now, not when the next client comes: the other end learns at once that it was dropped.
        std::lock_guard<std::mutex> lock(mutex_);
        client.stream.reset();
        client.ended = true;
    }
    clientEnded_.notify_all();
}

bool PipeServer::Stop(std::chrono::steady_clock::time_point deadline) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            return clients_.empty();
        }
        stopping_ = true;
        for (Client& client : clients_) {
            if (client.stream) {
                client.stream->Cancel();
            }
        }
    }
    listener_->Cancel();
    if (acceptor_.joinable()) {
        acceptor_.join();
    }
    std::unique_lock<std::mutex> lock(mutex_);
    clientEnded_.wait_until(lock, deadline, [this] {
        for (const Client& client : clients_) {
            if (!client.ended.load()) {
                return false;
            }
        }
        return true;
    });
    Reap();
    return clients_.empty();
}

} // namespace glimmerfen::pipe
