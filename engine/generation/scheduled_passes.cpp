#include "engine/generation/scheduled_passes.hpp"

#include <functional>
#include <limits>
#include <new>
#include <optional>
#include <queue>

#include "engine/generation/pass_poll.hpp"
#include "engine/simulation/dynamics.hpp"
#include "engine/simulation/emission.hpp"
#include "engine/simulation/random.hpp"

namespace vexo {

WalkingSamples::WalkingSamples(const MotionTable& table, const Settings& settings,
                               std::int32_t last_motion_frame)
    : cursor_(table),
      settings_(settings),
      frames_(FramesOf(settings)),
      last_motion_frame_(last_motion_frame) {}

const MotionFrame& WalkingSamples::At(std::uint64_t k) {
    const std::size_t slot = k % 3;
    if (index_[slot] != k) {
        value_[slot] = cursor_.At(ParentEntry(settings_, last_motion_frame_, frames_.Frame(k)));
        index_[slot] = k;
    }
    return value_[slot];
}

namespace {

// A non-linear object's keys go straight to its block, each with the record's own scale.
class BlockKeys : public KeyStore {
  public:
    explicit BlockKeys(BlockBuilder& block) : block_(block) {}
    void Store(const Particle& record, bool, std::uint32_t frame) override {
        block_.Add(record, static_cast<std::int32_t>(frame));
    }

  private:
    BlockBuilder& block_;
};

}  // namespace

ScheduledPasses::ScheduledPasses(const MotionTable& table, const Settings& settings, const EngineState& state,
                                 double fps, const SceneMeshes* meshes)
    : table_(table),
      settings_(settings),
      last_motion_frame_(state.LastMotionFrame),
      fps_(fps),
      meshes_(meshes != nullptr ? *meshes : SceneMeshes{}),
      frames_(FramesOf(settings)),
      slots_(static_cast<std::uint32_t>(settings.num_particles)),
      start_random_(state.random.state()),
      start_angle_(state.angle),
      draws_(DrawsPerEmission(settings)),
      radial_(IsOn(settings.radial_creation)),
      linear_(IsOn(settings.linear_path)) {}

// The same slot choice and the same life of every slot as the dynamics give, on the integer
// fields alone. Slots are only ever freed by Recycle at the end of a limited lifespan; then
// the lowest free slot is reused first.
void ScheduledPasses::BuildSchedule() {
    const bool recycling = IsOn(settings_.limited_lifespan) &&
                           settings_.end_behavior == static_cast<std::int32_t>(EndBehavior::Recycle);
    const bool delayed = IsOn(settings_.use_creation_delay);
    const std::int32_t start_delay = delayed ? settings_.creation_delay : -1;
    const auto max_age = static_cast<std::uint32_t>(settings_.lifespan);

    struct Life {
        std::uint32_t age = 0;
        std::int32_t delay = -1;
    };
    std::vector<Life> lives(recycling ? slots_ : 0);
    std::vector<std::uint32_t> active;
    std::priority_queue<std::uint32_t, std::vector<std::uint32_t>, std::greater<>> freed;
    std::uint32_t fresh = 0;  // slots from here up have never been used
    std::uint32_t alive = 0;

    std::vector<SlotEmission> emitted;  // in emission order
    std::vector<std::uint32_t> emitted_slot;
    std::uint64_t ordinal = 0;
    for (std::uint64_t k = 0; k < frames_.count; ++k) {
        // Without recycling no slot is ever freed: once all are taken, nothing more happens.
        if (settings_.particles_per_frame <= 0 || (alive == slots_ && active.empty())) break;
        std::uint32_t in_frame = 0;
        for (std::int32_t attempt = 0; attempt < settings_.particles_per_frame && alive < slots_; ++attempt) {
            std::uint32_t slot = fresh;
            if (!freed.empty() && freed.top() < fresh) {
                slot = freed.top();
                freed.pop();
            } else {
                ++fresh;
            }
            if (ordinal == std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
            emitted_slot.push_back(slot);
            emitted.push_back(
                SlotEmission{static_cast<std::uint32_t>(k), static_cast<std::uint32_t>(ordinal), in_frame});
            ++ordinal;
            ++in_frame;
            ++alive;
            if (recycling) {
                lives[slot] = Life{0, start_delay};
                active.push_back(slot);
            }
        }
        if (in_frame > 0 && k + 1 == frames_.count) last_frame_emits_ = true;
        for (std::size_t i = 0; i < active.size();) {
            Life& life = lives[active[i]];
            if (life.delay == -1) ++life.age;
            if (life.age >= max_age) {
                --alive;
                freed.push(active[i]);
                active[i] = active.back();
                active.pop_back();
                continue;
            }
            if (delayed && life.delay == 0) {
                life.delay = -1;
            } else if (delayed && life.delay != -1) {
                life.delay = static_cast<std::int32_t>(static_cast<std::uint32_t>(life.delay) - 1u);
            }
            ++i;
        }
    }
    per_pass_ = ordinal;

    // Group the emissions by slot; within a slot they stay in frame order.
    slot_first_.assign(std::uint64_t{slots_} + 1, 0);
    for (std::uint32_t slot : emitted_slot) ++slot_first_[slot + 1];
    for (std::uint64_t s = 0; s < slots_; ++s) slot_first_[s + 1] += slot_first_[s];
    emissions_.resize(ordinal);
    std::vector<std::uint64_t> fill(slot_first_.begin(), slot_first_.end() - 1);
    for (std::uint64_t e = 0; e < ordinal; ++e) emissions_[fill[emitted_slot[e]]++] = emitted[e];
}

std::uint32_t ScheduledPasses::StateAtDraw(std::uint32_t q, std::uint64_t draw) const {
    return Random::Advance(start_random_, std::uint64_t{q} * per_pass_ * draws_ + draw);
}

// The radial angle that emission `ordinal` of pass q draws (its fourth random number).
float ScheduledPasses::AngleOf(std::uint32_t q, std::uint64_t ordinal) const {
    const std::uint32_t value = Random::NextValue(StateAtDraw(q, ordinal * draws_ + 3));
    return static_cast<float>(static_cast<double>(value) * D * 359.0);
}

// The radial angle as emission `ordinal` (the `in_frame`-th of its frame) finds it.
float ScheduledPasses::AngleBefore(std::uint32_t q, std::uint64_t ordinal, std::uint32_t in_frame) const {
    if (!radial_) return linear_ ? 0.0f : start_angle_;
    if (in_frame > 0) return AngleOf(q, ordinal - 1);
    if (linear_) return 0.0f;  // cleared at the start of every frame
    if (ordinal > 0) return AngleOf(q, ordinal - 1);
    if (q > 0 && per_pass_ > 0) return AngleOf(q - 1, per_pass_ - 1);
    return start_angle_;
}

void ScheduledPasses::Emit(std::uint32_t q, const SlotEmission& emission, PassSamples& samples,
                           Simulation& sim) const {
    const std::uint64_t k = emission.frame_index;
    const std::uint64_t first = emission.ordinal - emission.in_frame;
    const double* parent_start = table_.front().value.data();

    // Where the parent was one frame step earlier, for oversampling (which radial creation
    // switches off, so no radial move is ever in it): motion entry 0 in the first frame, the
    // first frame's sample in the second. Asked before the frame before, so samples rise.
    const MotionFrame& last = k == 0 ? table_.front() : samples.At(k >= 2 ? k - 2 : 0);
    SetParent(sim.lastframe, last);  // the whole pose, for a mesh emitter between two samples

    // The parent as the emissions before this one in the frame left it: it starts from the
    // frame before (the first frame's own sample in the first frame).
    Particle& parent = sim.Parent;
    SetParent(parent, samples.At(k == 0 ? 0 : k - 1));
    if (radial_ && emission.in_frame > 0) {
        EngineState chain;
        std::uint32_t state = StateAtDraw(q, first * draws_ + 3);
        for (std::uint32_t i = 0; i < emission.in_frame; ++i) {
            chain.random.set_state(state);
            MoveParentRadially(parent, parent_start, chain);
            state = Random::Advance(state, draws_);
        }
    }

    EngineState state;
    state.random.set_state(StateAtDraw(q, std::uint64_t{emission.ordinal} * draws_));
    state.angle = AngleBefore(q, emission.ordinal, emission.in_frame);
    sim.NumChilds = 0;  // the schedule says this slot is free now
    CreateChildObject(sim, state, frames_.Frame(k), settings_, parent_start);
}

void ScheduledPasses::RunSlotFrame(std::uint32_t q, std::uint32_t s, SlotReplay& replay, Simulation& sim,
                                   PassSamples& samples, KeyStore* keys) const {
    const std::uint64_t k = replay.frame_index++;
    const std::uint32_t f = frames_.Frame(k);
    Particle& r = sim.ChildArray[0];
    sim.NumChilds = replay.num_childs;
    if (keys != nullptr && linear_) r.frame = static_cast<std::int32_t>(f);
    if (replay.next_emission < slot_first_[s + 1] && emissions_[replay.next_emission].frame_index == k) {
        Emit(q, emissions_[replay.next_emission], samples, sim);
        ++replay.next_emission;
    }
    // Only a free slot follows the parent; a living particle moves by its velocity.
    if (r.alive != 1) SetParent(sim.Parent, samples.At(k));
    if (keys != nullptr && linear_) LinearBeforeMove(replay.linear, f, r, *keys);
    MoveChildObject(sim, 0);
    if (keys != nullptr && !linear_) keys->Store(r, true, f);
    EffectChildObject(sim, 0, settings_);
    if (keys != nullptr && linear_) LinearAfterEffect(settings_, replay.linear, f, r, *keys);
    replay.num_childs = sim.NumChilds;
}

void ScheduledPasses::ReplaySlot(std::uint32_t q, std::uint32_t s, Particle& record, Replay mode,
                                 BlockBuilder* block) const {
    Simulation sim;
    sim.frames_per_second = fps_;
    meshes_.Attach(sim);
    // In linear mode the next pass takes only the rotation from where this one leaves the slot
    // (its position becomes the parent's before its first key): bounces, which change neither,
    // need not be found.
    if (mode == Replay::Leftover && linear_) sim.collision = nullptr;
    sim.ChildArray.assign(1, record);
    WalkingSamples samples(table_, settings_, last_motion_frame_);
    std::optional<LinearKeys> linear_keys;
    std::optional<BlockKeys> block_keys;
    KeyStore* keys = nullptr;
    SlotReplay replay{slot_first_[s], 0, 0, {}};
    if (mode == Replay::Write) {
        block->Start(linear_ ? 0 : frames_.count + 1);
        if (linear_) {
            keys = &linear_keys.emplace(settings_, *block);
        } else {
            keys = &block_keys.emplace(*block);
        }
        replay = StartReplay(s, sim, samples, *keys);
    }
    for (std::uint64_t k = 0; k < frames_.count; ++k) {
        // Asked every 64 frames: a frame of one slot is too little work to ask about alone.
        if (k % 64 == 0 && PassInterrupted(64)) return;  // the block is dropped unfinished
        RunSlotFrame(q, s, replay, sim, samples, keys);
    }
    if (mode == Replay::Write) block->Finish();
    record = sim.ChildArray[0];
}

Particle ScheduledPasses::LeftoverOf(std::uint32_t p) const {
    // Where pass p - 1 left slot p: its position, and its rotation from its last emission.
    Particle record;
    record.delay = settings_.creation_delay;
    if (p > 0) ReplaySlot(p - 1, p, record, Replay::Leftover, nullptr);
    record.alive = 0;
    record.shown = 0;
    record.scale_x = record.scale_y = record.scale_z = 0.0;
    record.state = kStateWaiting;
    record.age = 0;
    return record;
}

SlotReplay ScheduledPasses::StartReplay(std::uint32_t p, Simulation& sim, PassSamples& samples,
                                        KeyStore& keys) const {
    Particle& r = sim.ChildArray[0];
    if (linear_) {
        r.frame = 0;
        SetParent(sim.Parent, samples.At(0));
        MoveChildObject(sim, 0);
        keys.Store(r, false, 0);
    } else {
        keys.Store(r, true, 0);  // where the pass before left the slot, hidden by the reset
    }
    return SlotReplay{slot_first_[p], 0, 0, {}};
}

void ScheduledPasses::RunFrame(std::uint32_t p, SlotReplay& replay, Simulation& sim, PassSamples& samples,
                               KeyStore* keys) const {
    RunSlotFrame(p, p, replay, sim, samples, keys);
}

bool ScheduledPasses::SkipIdleFrames(std::uint32_t p, SlotReplay& replay, const Particle& record) const {
    if (!linear_ || record.alive != 0) return false;
    // A free slot gives keys only as a recycled particle whose end key repeats while it waits.
    if (record.state == kStateEnded && (record.age <= record.max_age || !IsOn(settings_.limited_lifespan))) {
        return false;
    }
    const std::uint64_t until = replay.next_emission < slot_first_[p + 1]
                                    ? emissions_[replay.next_emission].frame_index
                                    : frames_.count;
    if (until <= replay.frame_index) return false;
    replay.frame_index = until;
    return true;
}

void ScheduledPasses::RecordBlock(std::uint32_t p, BlockBuilder& block) const {
    Particle record = LeftoverOf(p);
    ReplaySlot(p, p, record, Replay::Write, &block);
}

void ScheduledPasses::FinishState(std::uint32_t passes, EngineState& state) const {
    if (passes == 0) return;
    state.random.set_state(StateAtDraw(passes, 0));
    const std::uint32_t last = passes - 1;
    if (linear_) {
        // Cleared at the start of every frame, then set by the last frame's emissions, if any.
        state.angle = radial_ && last_frame_emits_ ? AngleOf(last, per_pass_ - 1) : 0.0f;
    } else if (radial_ && per_pass_ > 0) {
        state.angle = AngleOf(last, per_pass_ - 1);
    }
}

}  // namespace vexo
