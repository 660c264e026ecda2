#pragma once
// Registers the streamable classes of the install-object layer; called once at start-up.
namespace tav {

void RegisterObjectClasses();

}  // namespace tav
