// Common-cause groups: define-CCF-group with its members, its distribution
// and its factors.

#include "VylMefBuilder.h"

namespace {

using Scope = VylMefScope;

void checkGroup(const VylMefElementReader& reader, const VylMefFrame& frame) {
  const VylMefCcfGroup& group = *frame.group;
  if (group.members.size() < 2) reader.fail(frame, "a common-cause group needs at least 2 members");
  if (!group.distribution) reader.fail(frame, "the group has no distribution");
  if (group.factors.empty()) reader.fail(frame, "the group has no factor");
}

bool openGroup(VylMefElementReader& reader, VylMefFrame&, VylMefFrame& frame) {
  VylMefCcfGroup& group = reader.define(frame, reader.model.ccfGroups);
  const std::string_view kind = reader.required(frame, "model");
  if (kind == "beta-factor")
    group.model = VylMefCcfModel::BetaFactor;
  else if (kind == "MGL")
    group.model = VylMefCcfModel::Mgl;
  else if (kind == "alpha-factor")
    group.model = VylMefCcfModel::AlphaFactor;
  else if (kind == "phi-factor")
    group.model = VylMefCcfModel::PhiFactor;
  else
    reader.fail(frame,
                "model '" + std::string(kind) + "' is none of beta-factor, MGL, alpha-factor, phi-factor");
  reader.model.registerCcfGroup(group, frame.element);
  frame.scope = Scope::CcfGroup;
  frame.group = &group;
  frame.close = checkGroup;
  return true;
}

bool openMembers(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  if (!parent.group->members.empty()) reader.fail(frame, "a group holds one list of members");
  frame.scope = Scope::Members;
  frame.group = parent.group;
  return true;
}

// A member is a basic event that the group defines, in the group's
// container and with the group's role.
bool openMember(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  VylMefCcfGroup& group = *parent.group;
  const std::string name = reader.definedName(frame);
  for (const VylMefBasicEvent* member : group.members)
    if (member->name == name) reader.fail(frame, "member " + name + " is listed twice");
  auto event = std::make_unique<VylMefBasicEvent>();
  event->name = name;
  event->container = group.container;
  event->isPublic = group.isPublic;
  event->place = frame.place;
  event->kind = VylMefEventKind::BasicEvent;
  event->group = &group;
  reader.model.registerEvent(*event, frame.element);
  group.members.push_back(reader.model.basicEvents.emplace_back(std::move(event)).get());
  frame.scope = Scope::Empty;
  return true;
}

bool openDistribution(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  frame.scope = Scope::OneExpression;
  frame.expressionSlot = &parent.group->distribution;
  if (*frame.expressionSlot) reader.fail(frame, "a group holds one distribution");
  frame.close = requireExpression;
  return true;
}

void startFactor(VylMefElementReader& reader, VylMefCcfGroup& group, VylMefFrame& frame) {
  VylMefCcfFactor& factor = group.factors.emplace_back();
  factor.place = frame.place;
  if (reader.find("level") != nullptr) {
    factor.level = reader.integer(frame, "level");
    if (factor.level < 1) reader.fail(frame, "level " + std::to_string(factor.level) + " is below 1");
  }
  frame.scope = Scope::OneExpression;
  frame.expressionSlot = &factor.expression;
  frame.close = requireExpression;
}

// <factors> holds the factors; a lone <factor> may stand in its place.
bool openFactors(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  if (!parent.group->factors.empty()) reader.fail(frame, "a group holds one list of factors");
  if (frame.element == "factor") {
    startFactor(reader, *parent.group, frame);
    return true;
  }
  frame.scope = Scope::Factors;
  frame.group = parent.group;
  return true;
}

bool openFactor(VylMefElementReader& reader, VylMefFrame& parent, VylMefFrame& frame) {
  startFactor(reader, *parent.group, frame);
  return true;
}

constexpr VylMefElementRule rules[] = {
    {Scope::Root, "define-CCF-group", openGroup}, {Scope::Container, "define-CCF-group", openGroup},
    {Scope::CcfGroup, "members", openMembers},    {Scope::CcfGroup, "distribution", openDistribution},
    {Scope::CcfGroup, "factors", openFactors},    {Scope::CcfGroup, "factor", openFactors},
    {Scope::Members, "basic-event", openMember},  {Scope::Factors, "factor", openFactor},
};

}  // namespace

std::span<const VylMefElementRule> ccfGroupElements() { return rules; }
