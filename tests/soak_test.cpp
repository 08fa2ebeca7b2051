#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "tick_fixture.h"

namespace {

// CI runs the short soak; HUSHVANE_SOAK_SEED and HUSHVANE_SOAK_TICKS make other runs on demand.
constexpr uint32_t kDefaultSeed = 20261208;
constexpr uint32_t kDefaultTicks = 2000;
constexpr size_t kMaxSessions = 10;

uint32_t FromEnvironment(const char* name, uint32_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoul(text, nullptr, 10) : fallback;
}

// Who owns a session: a pool process, one of two target instances, or nobody that resolves.
enum Owner { kTargetA = kPoolRoleCount, kTargetB, kNobody, kOwnerCount };

bool ResolvesAsOther(int owner) {
    return owner < kPoolRoleCount && owner != kDenied;
}

class SoakTest : public TickTest {
  protected:
    void SetUp() override {
        TickTest::SetUp();
        g_watcher.targetName = L"soaktarget.exe";
    }
    void TearDown() override {
        for (TestProcess& target : targets_) {
            StopTestProcess(&target);
        }
        TickTest::TearDown();
    }

    DWORD OwnerProcessId(int owner) {
        if (owner < kPoolRoleCount) {
            return PoolProcess(static_cast<PoolRole>(owner)).id;
        }
        if (owner == kNobody || targets_[owner - kTargetA].process == nullptr) {
            return kNoSuchProcessId;
        }
        return targets_[owner - kTargetA].id;
    }

    // Starts or ends one target instance; sessions of an ended one no longer resolve.
    void ToggleTarget(int which) {
        TestProcess& target = targets_[which];
        if (target.process == nullptr) {
            const wchar_t* paths[] = {L"C:\\hvtest\\soak1\\soaktarget.exe",
                                      L"C:\\hvtest\\soak2\\soaktarget.exe"};
            ASSERT_TRUE(StartTestProcess(paths[which], false, &target));
            return;
        }
        StopTestProcess(&target);
        for (size_t i = 0; i < owners_.size(); ++i) {
            if (owners_[i] == kTargetA + which) {
                owners_[i] = kNobody;
                endpoint.Session(i).processId = kNoSuchProcessId;
            }
        }
    }

    void ReshapeEndpoint(std::mt19937& random) {
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        if (chance(random) < 0.01) {
            ToggleTarget(random() % 2);
        }
        if (chance(random) < 0.15 && owners_.size() < kMaxSessions) {
            int owner = random() % kOwnerCount;
            if (OwnerProcessId(owner) == kNoSuchProcessId) {
                owner = kNobody;
            }
            endpoint.AddSession(L"s" + std::to_wstring(owner), OwnerProcessId(owner));
            owners_.push_back(owner);
        }
        if (chance(random) < 0.1 && !owners_.empty()) {
            size_t index = random() % owners_.size();
            endpoint.RemoveSession(index);
            owners_.erase(owners_.begin() + index);
        }
        for (size_t i = 0; i < owners_.size(); ++i) {
            FakeSession& session = endpoint.Session(i);
            double roll = chance(random);
            session.peak = roll < 0.45   ? 0.0f
                           : roll < 0.55 ? std::nextafter(1e-6f, roll < 0.5 ? 0.0f : 1.0f)
                           : roll < 0.6  ? NAN
                                         : static_cast<float>(chance(random));
            if (chance(random) < 0.01) {
                session.muted = TRUE; // the user mutes something by hand
            }
        }
    }

    // Returns whether any fault was injected.
    bool InjectFaults(std::mt19937& random) {
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        bool injected = false;
        if (chance(random) < 0.05) {
            endpoint.faults = 1u << (1 + random() % 3); // activate, enumerator or count
            injected = true;
        }
        for (size_t i = 0; i < owners_.size(); ++i) {
            if (chance(random) < 0.05) {
                endpoint.Session(i).faults = 1u << (4 + random() % 7); // any per-session step
                injected = true;
            }
        }
        return injected;
    }

    void ClearFaults() {
        endpoint.faults = 0;
        for (size_t i = 0; i < owners_.size(); ++i) {
            endpoint.Session(i).faults = 0;
        }
    }

    TestProcess targets_[2];
    std::vector<int> owners_; // parallel to the endpoint's sessions
};

TEST_F(SoakTest, PropertiesHoldOverRandomEndpoints) {
    const uint32_t seed = FromEnvironment("HUSHVANE_SOAK_SEED", kDefaultSeed);
    const int ticks = static_cast<int>(FromEnvironment("HUSHVANE_SOAK_TICKS", kDefaultTicks));
    std::printf("soak: seed %u, %d ticks\n", seed, ticks);
    std::mt19937 random(seed);
    int restoresChecked = 0;
    int mutes = 0;
    for (int tick = 0; tick < ticks && !HasFatalFailure(); ++tick) {
        ReshapeEndpoint(random);
        bool faulty = InjectFaults(random);
        bool tickEnds = (endpoint.faults & (kFailActivate | kFailGetSessionEnumerator)) != 0;
        std::vector<std::wstring> journal = Tick(!tickEnds);
        ClearFaults();

        ASSERT_TRUE(g_watcher.othersMuted == 0 || g_watcher.othersMuted == 1) << "tick " << tick;
        for (size_t i = 0; i < owners_.size(); ++i) {
            if (!ResolvesAsOther(owners_[i])) {
                ASSERT_EQ(endpoint.Session(i).setMuteCalls, 0)
                    << "tick " << tick << ": a target or unresolvable session was touched";
            }
        }
        int lastMessage = -1;
        int messages = 0;
        for (size_t i = 0; i < journal.size(); ++i) {
            if (journal[i] == kLoudMessage || journal[i] == kSilentMessage ||
                journal[i] == kGoneMessage) {
                lastMessage = static_cast<int>(i);
                ++messages;
            }
        }
        // However many target sessions there are, a tick decides once.
        ASSERT_LE(messages, 1) << "tick " << tick;
        mutes += lastMessage >= 0 && journal[lastMessage] == kLoudMessage;
        if (lastMessage < 0 || journal[lastMessage] == kLoudMessage || faulty) {
            continue;
        }
        ++restoresChecked;
        for (size_t i = 0; i < owners_.size(); ++i) {
            if (ResolvesAsOther(owners_[i])) {
                ASSERT_FALSE(endpoint.Session(i).muted)
                    << "tick " << tick << ": a clean restore left session " << i << " muted";
            }
        }
    }
    std::printf("soak: %d ticks ended in a mute pass, %d in a clean restore pass\n", mutes,
                restoresChecked);
    // A soak that never got to restore would prove little.
    EXPECT_GT(mutes, ticks / 50);
    EXPECT_GT(restoresChecked, ticks / 50);
}

} // namespace
