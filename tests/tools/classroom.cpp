// orvexctl in a simulated classroom whose people act: the same commands as
// the tool, with a thread that plays the learners and the teacher at the
// board. It watches what the tool writes to the hubs and answers as a class
// would: when a vote opens every voting handset presses its key, when a
// registration opens the waiting handsets' learners key their PIN, and
// while the tool watches, someone draws on and touches every board.
// The classroom itself comes from the scenario named in ORVEXSIM_SCENARIO.
#include "orvexctl.h"

#include <orvexsim.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

const int MaximumHandle = 8;

class Classroom
{
public:
    explicit Classroom(bool drawing) : m_drawing(drawing) {}

    void start()
    {
        m_thread = std::thread([this] { run(); });
    }

    void stop()
    {
        m_stop = true;
        m_thread.join();
        for (int handle = 1; handle <= MaximumHandle; ++handle)
            orvexsim_stop_pen_stream(handle);
    }

private:
    void run()
    {
        std::vector<int> seen(MaximumHandle + 1, 0);
        std::vector<bool> drawing(MaximumHandle + 1, false);
        int touchTicks = 0;
        while (!m_stop) {
            for (int handle = 1; handle <= MaximumHandle; ++handle) {
                const int count = orvexsim_write_count(handle);
                for (; seen[handle] < count; ++seen[handle]) {
                    unsigned char bytes[64] = {};
                    const int length = orvexsim_get_write(handle, seen[handle], bytes, sizeof bytes);
                    act(handle, std::string(reinterpret_cast<const char *>(bytes), length > 0 ? std::min<int>(length, 64) : 0));
                }
                // Once the tool has talked to a hub, its board is in use.
                if (m_drawing && count > 0 && !drawing[handle]
                    && orvexsim_start_pen_stream(handle, 1, 100, 0) == 0)
                    drawing[handle] = true;
                if (m_drawing && drawing[handle] && touchTicks % 25 == 0) {
                    const OrvexSimTouch fingers[2] = {{1, 12000, 20000, 180, 1}, {2, 15500, 20400, 175, 1}};
                    orvexsim_inject_touch(handle, fingers, 2);
                }
            }
            ++touchTicks;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    static bool startsWith(const std::string &write, const char *command)
    {
        return write.compare(0, std::strlen(command), command) == 0;
    }

    // What the class does when the tool opens a session.
    static void act(int handle, const std::string &write)
    {
        if (startsWith(write, ":VB") || startsWith(write, ":VM")) {
            // A 2.4 GHz hub's handsets, or else a legacy hub's.
            if (orvexsim_vote(handle, ORVEXSIM_ALL_HANDSETS, 0, 1, 0) < 0)
                orvexsim_legacy_class_vote(handle, 0);
        } else if (startsWith(write, ":VR") || startsWith(write, ":SR") || startsWith(write, ":XP001")) {
            orvexsim_register_waiting_class(handle, 0);
        } else if (startsWith(write, ":VZ")) {
            orvexsim_key_pin(handle, ORVEXSIM_ALL_HANDSETS, nullptr);
        }
    }

    const bool m_drawing;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace

int main(int argc, char **argv)
{
    bool watching = false;
    for (int i = 1; i < argc; ++i)
        watching = watching || std::strcmp(argv[i], "watch") == 0;
    Classroom classroom(watching);
    classroom.start();
    const int code = Orvexctl::run(argc, argv);
    classroom.stop();
    return code;
}
