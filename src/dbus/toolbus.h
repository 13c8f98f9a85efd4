#pragma once

// The schematic tool's presence on the session bus, shared by the client and the simulator.
namespace vexlo::dbus {

constexpr const char* serviceName = "Quillion.Application";
constexpr const char* objectPath = "/Quillion/Application";
constexpr const char* interfaceName = "Quillion.Application";

// Error names of the tool's replies.
constexpr const char* errorNoActiveDocument = "Quillion.Error.NoActiveDocument";
constexpr const char* errorLoadGroupFailed = "Quillion.Error.LoadGroupFailed";
constexpr const char* errorFlattenFailed = "Quillion.Error.FlattenFailed";

}  // namespace vexlo::dbus
