#include "engine/generation/scheduled_passes.hpp"

#include <functional>
#include <limits>
#include <new>
#include <queue>

#include "engine/simulation/dynamics.hpp"
#include "engine/simulation/emission.hpp"
#include "engine/simulation/random.hpp"

namespace vexo {

ScheduledPasses::ScheduledPasses(const MotionTable& table, const Settings& settings, const EngineState& state,
                                 double fps)
    : table_(table),
      settings_(settings),
      fps_(fps),
      frames_(FramesOf(settings)),
      slots_(static_cast<std::uint32_t>(settings.num_particles)),
      start_random_(state.random.state()),
      start_angle_(state.angle),
      draws_(IsOn(settings.radial_creation) ? 4 : IsOn(settings.oversampling) ? 6 : 3),
      radial_(IsOn(settings.radial_creation)),
      linear_(IsOn(settings.linear_path)) {
    samples_.reserve(frames_.count);
    for (std::uint64_t k = 0; k < frames_.count; ++k) {
        samples_.push_back(&ParentSample(table, settings, state.LastMotionFrame, frames_.Frame(k)));
    }
}

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

    std::vector<std::uint32_t> emitted_slot;  // in emission order
    std::vector<std::uint32_t> emitted_frame;
    frame_first_.assign(frames_.count + 1, 0);
    std::uint64_t ordinal = 0;
    for (std::uint64_t k = 0; k < frames_.count; ++k) {
        frame_first_[k] = ordinal;
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
            emitted_frame.push_back(static_cast<std::uint32_t>(k));
            ++ordinal;
            ++alive;
            if (recycling) {
                lives[slot] = Life{0, start_delay};
                active.push_back(slot);
            }
        }
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
    frame_first_[frames_.count] = ordinal;
    per_pass_ = ordinal;

    // Group the emissions by slot; within a slot they stay in frame order.
    slot_first_.assign(std::uint64_t{slots_} + 1, 0);
    for (std::uint32_t slot : emitted_slot) ++slot_first_[slot + 1];
    for (std::uint64_t s = 0; s < slots_; ++s) slot_first_[s + 1] += slot_first_[s];
    emissions_.resize(ordinal);
    std::vector<std::uint64_t> fill(slot_first_.begin(), slot_first_.end() - 1);
    for (std::uint64_t e = 0; e < ordinal; ++e) {
        emissions_[fill[emitted_slot[e]]++] = SlotEmission{emitted_frame[e], static_cast<std::uint32_t>(e)};
    }
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

void ScheduledPasses::Emit(std::uint32_t q, std::uint32_t k, std::uint32_t ordinal, Simulation& sim) const {
    const std::uint64_t first = frame_first_[k];
    const auto in_frame = static_cast<std::uint32_t>(ordinal - first);
    const double* parent_start = table_.front().value.data();

    // The parent as the emissions before this one in the frame left it.
    Particle& parent = sim.Parent;
    SetParent(parent, Sample(k == 0 ? 0 : k - 1));
    if (radial_ && in_frame > 0) {
        EngineState chain;
        std::uint32_t state = StateAtDraw(q, first * draws_ + 3);
        for (std::uint32_t i = 0; i < in_frame; ++i) {
            chain.random.set_state(state);
            MoveParentRadially(parent, parent_start, chain);
            state = Random::Advance(state, draws_);
        }
    }
    // Where the parent was one frame step earlier, for oversampling (which radial creation
    // switches off, so no radial move is ever in it).
    const MotionFrame& last = k == 0 ? table_.front() : Sample(k == 1 ? 0 : k - 2);
    sim.lastframe.x = last.value[0];
    sim.lastframe.y = last.value[1];
    sim.lastframe.z = last.value[2];

    EngineState state;
    state.random.set_state(StateAtDraw(q, std::uint64_t{ordinal} * draws_));
    state.angle = AngleBefore(q, ordinal, in_frame);
    sim.NumChilds = 0;  // the schedule says this slot is free now
    CreateChildObject(sim, state, frames_.Frame(k), settings_, parent_start);
}

void ScheduledPasses::ReplaySlot(std::uint32_t q, std::uint32_t s, Particle& record, Replay mode,
                                 BlockBuilder* block) const {
    Simulation sim;
    sim.frames_per_second = fps_;
    sim.ChildArray.assign(1, record);
    Particle& r = sim.ChildArray[0];
    const bool write = mode == Replay::Write;
    LinearKeys keys(settings_);
    if (write && linear_) {
        r.frame = 0;
        SetParent(sim.Parent, Sample(0));
        MoveChildObject(sim, 0);
        keys.Begin(r);
    } else if (write) {
        block->Start(static_cast<std::uint32_t>(frames_.count + 1));
        block->Add(r, 0);
    }
    std::uint64_t next = slot_first_[s];
    const std::uint64_t end = slot_first_[s + 1];
    for (std::uint64_t k = 0; k < frames_.count; ++k) {
        const std::uint32_t f = frames_.Frame(k);
        if (write && linear_) r.frame = static_cast<std::int32_t>(f);
        if (next < end && emissions_[next].frame_index == k) {
            Emit(q, static_cast<std::uint32_t>(k), emissions_[next].ordinal, sim);
            ++next;
        }
        SetParent(sim.Parent, Sample(k));
        if (write && linear_) keys.BeforeMove(f, r);
        MoveChildObject(sim, 0);
        if (write && !linear_) block->Add(r, static_cast<std::int32_t>(f));
        EffectChildObject(sim, 0, settings_);
        if (write && linear_) keys.AfterEffect(f, r);
    }
    if (write && linear_) {
        FinishLinearBlock(*block, keys);
    } else if (write) {
        block->Finish();
    }
    record = r;
}

void ScheduledPasses::RecordBlock(std::uint32_t p, BlockBuilder& block) const {
    // Where pass p - 1 left slot p: its position, and its rotation from its last emission.
    Particle record;
    record.delay = settings_.creation_delay;
    if (p > 0) ReplaySlot(p - 1, p, record, Replay::Leftover, nullptr);
    record.alive = 0;
    record.shown = 0;
    record.scale_x = record.scale_y = record.scale_z = 0.0;
    record.state = kStateWaiting;
    record.age = 0;
    ReplaySlot(p, p, record, Replay::Write, &block);
}

void ScheduledPasses::FinishState(std::uint32_t passes, EngineState& state) const {
    if (passes == 0) return;
    state.random.set_state(StateAtDraw(passes, 0));
    const std::uint32_t last = passes - 1;
    if (linear_) {
        // Cleared at the start of every frame, then set by the last frame's emissions, if any.
        const bool last_frame_emits = frames_.count > 0 && frame_first_[frames_.count] > frame_first_[frames_.count - 1];
        state.angle = radial_ && last_frame_emits ? AngleOf(last, per_pass_ - 1) : 0.0f;
    } else if (radial_ && per_pass_ > 0) {
        state.angle = AngleOf(last, per_pass_ - 1);
    }
}

}  // namespace vexo
