#include "engine/generation/reference_passes.hpp"

#include "engine/generation/pass_poll.hpp"
#include "engine/simulation/dynamics.hpp"
#include "engine/simulation/emission.hpp"

namespace vexo {

ReferencePasses::ReferencePasses(const MotionTable& table, const Settings& settings, EngineState& state,
                                 Simulation& sim)
    : table_(table),
      motion_(table),
      settings_(settings),
      state_(state),
      sim_(sim),
      frames_(FramesOf(settings)),
      object_(PathText(settings.particle_object)) {}

void ReferencePasses::MoveMainObject(std::uint32_t f) {
    sim_.lastframe.x = sim_.Parent.x;
    sim_.lastframe.y = sim_.Parent.y;
    sim_.lastframe.z = sim_.Parent.z;
    // The rest of the pose, for a mesh emitter between two samples.
    sim_.lastframe.heading = sim_.Parent.heading;
    sim_.lastframe.pitch = sim_.Parent.pitch;
    sim_.lastframe.bank = sim_.Parent.bank;
    sim_.lastframe.scale_x = sim_.Parent.scale_x;
    sim_.lastframe.scale_y = sim_.Parent.scale_y;
    sim_.lastframe.scale_z = sim_.Parent.scale_z;
    SetParent(sim_.Parent, motion_.At(ParentEntry(settings_, state_.LastMotionFrame, f)));
}

void ReferencePasses::Emit(std::uint32_t f) {
    // Once every slot is taken, further attempts in the frame change nothing and draw nothing.
    const auto slots = static_cast<std::uint32_t>(sim_.ChildArray.size());
    for (std::int32_t i = 0; i < settings_.particles_per_frame && sim_.NumChilds < slots; ++i) {
        CreateChildObject(sim_, state_, f, settings_, table_.front().value.data());
    }
}

void ReferencePasses::MoveAll() {
    for (std::uint32_t i = 0; i < sim_.ChildArray.size(); ++i) MoveChildObject(sim_, i);
}

void ReferencePasses::EffectAll() {
    for (std::uint32_t i = 0; i < sim_.ChildArray.size(); ++i) EffectChildObject(sim_, i, settings_);
}

void ReferencePasses::RecordBlock(std::uint32_t p, BlockBuilder& block) {
    for (Particle* parent : {&sim_.lastframe, &sim_.Parent}) SetParent(*parent, table_.front());
    if (IsOn(settings_.linear_path)) {
        RecordLinear(p, block);
    } else {
        RecordNonLinear(p, block);
        block.Finish();
    }
    for (Particle& record : sim_.ChildArray) {
        record.alive = 0;
        record.shown = 0;
        record.scale_x = record.scale_y = record.scale_z = 0.0;
        record.state = kStateWaiting;
        record.age = 0;
    }
    sim_.NumChilds = 0;
}

void ReferencePasses::RecordNonLinear(std::uint32_t p, BlockBuilder& block) {
    block.Start(frames_.count + 1);
    MoveMainObject(frames_.first);
    block.Add(sim_.ChildArray[p], 0);
    for (std::uint64_t k = 0; k < frames_.count; ++k) {
        if (PassInterrupted(sim_.ChildArray.size() + 1)) return;  // the block is dropped unfinished
        const std::uint32_t f = frames_.Frame(k);
        Emit(f);
        MoveMainObject(f);
        MoveAll();
        block.Add(sim_.ChildArray[p], static_cast<std::int32_t>(f));
        EffectAll();
    }
}

void ReferencePasses::RecordLinear(std::uint32_t p, BlockBuilder& block) {
    Particle& record = sim_.ChildArray[p];
    block.Start();
    LinearKeys keys(settings_, block);
    record.frame = 0;
    MoveMainObject(frames_.first);
    MoveChildObject(sim_, p);
    keys.Begin(record);
    for (std::uint64_t k = 0; k < frames_.count; ++k) {
        if (PassInterrupted(sim_.ChildArray.size() + 1)) return;
        const std::uint32_t f = frames_.Frame(k);
        state_.angle = 0.0f;
        record.frame = static_cast<std::int32_t>(f);
        Emit(f);
        MoveMainObject(f);
        keys.BeforeMove(f, record);
        MoveAll();
        EffectAll();
        keys.AfterEffect(f, record);
    }
    block.Finish();
}

}  // namespace vexo
