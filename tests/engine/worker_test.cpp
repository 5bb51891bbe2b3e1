// The worker's one way to end: a bounded wait, then the work left behind on state it shares.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "monitor/Worker.h"
#include "platform/notify.h"
#include "threading.h"

#ifndef _WIN32
#include "platform/posix/testing.h"
#endif

namespace glimmerfen {
namespace {

using namespace std::chrono_literals;

TEST(Worker, StopWaitsABoundedTimeThenLeavesTheWorkBehind) {
    enum class Load { None, Idle, Busy, Box, Hung };
    struct Row {
        const char* what;
        Load load;
        std::chrono::milliseconds grace;
        bool ended;
    };
    const Row rows[] = {
        {"never given a task: no thread to wait for", Load::None, 0ms, true},
        {"started, nothing queued", Load::Idle, 10s, true},
        {"a task that takes a while and one queued behind it: both run, in order", Load::Busy, 10s, true},
        {"a task that waits in a box: the box is ended", Load::Box, 10s, true},
        {"a task that waits for the server past the grace: left behind", Load::Hung, 50ms, false},
    };
#ifndef _WIN32
    platform::SetMessagesWaitForAnswerForTesting(true); // a box waits like one that nobody answers
#endif
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        // What the tasks touch, kept alive by them alone once the test lets go of the worker.
        struct Shared {
            std::mutex mutex;
            std::vector<int> ran;
            std::promise<void> answer;
            std::vector<int> Ran(int task = 0) {
                std::lock_guard<std::mutex> lock(mutex);
                if (task != 0) {
                    ran.push_back(task);
                }
                return ran;
            }
        };
        auto shared = std::make_shared<Shared>();
        auto worker = std::make_unique<Worker>("a test");
        const std::vector<int> expected =
            row.load == Load::None || row.load == Load::Idle ? std::vector<int>{} : std::vector<int>{1, 2};
        if (row.load == Load::Idle) {
            worker->Start();
        } else if (row.load == Load::Busy) {
            ASSERT_TRUE(worker->Post([shared] {
                std::this_thread::sleep_for(50ms);
                shared->Ran(1);
            }));
        } else if (row.load == Load::Box) {
            ASSERT_TRUE(worker->Post([shared] {
                platform::ShowMessage("a question", "a test", platform::MessageIcon::Information);
                shared->Ran(1);
            }));
        } else if (row.load == Load::Hung) {
            ASSERT_TRUE(worker->Post([shared, answered = shared->answer.get_future().share()] {
                answered.wait();
                shared->Ran(1);
            }));
        }
        if (!expected.empty()) {
            ASSERT_TRUE(worker->Post([shared] { shared->Ran(2); }));
        }
        EXPECT_EQ(worker->Stop(row.grace), row.ended);
        EXPECT_FALSE(worker->Post([shared] { shared->Ran(99); })) << "a task accepted after Stop";
        if (row.load == Load::Hung) {
            EXPECT_TRUE(shared->Ran().empty()) << "Stop waited for the hung task";
            worker.reset();
            shared->answer.set_value();
            // The thread goes on with what was queued, after its owner is gone.
            EXPECT_TRUE(test::Eventually([&] { return shared->Ran().size() == expected.size(); }));
        }
        EXPECT_EQ(shared->Ran(), expected);
    }
#ifndef _WIN32
    platform::SetMessagesWaitForAnswerForTesting(false);
#endif
}

} // namespace
} // namespace glimmerfen
