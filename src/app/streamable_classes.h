#pragma once
// Every streamable class of the setup program, registered in one call: the program itself and the
// tools that check a project against the program's classes use the same list.
namespace tav {

void RegisterStreamableClasses();

}  // namespace tav
