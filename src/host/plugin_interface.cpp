#include "host/plugin_interface.h"

#include <type_traits>
#include <utility>

// Defined out of line so that the library exports them with the virtual table.
TRMLPluginInterface::TRMLPluginInterface() = default;
TRMLPluginInterface::TRMLPluginInterface(const TRMLPluginInterface&) = default;
TRMLPluginInterface& TRMLPluginInterface::operator=(const TRMLPluginInterface&) = default;
TRMLPluginInterface::~TRMLPluginInterface() = default;

// What decides the table's shape. The slot order itself cannot be asserted here (a pointer to
// a virtual member holds its slot, but neither GCC nor clang lets a constant expression look
// into one): scripts/windows-check reads it from the compiler's class dump and calls the slots.
static_assert(std::is_polymorphic_v<TRMLPluginInterface> && std::is_abstract_v<TRMLPluginInterface>,
              "the host reaches the plug-in through a virtual table");
static_assert(sizeof(TRMLPluginInterface) == sizeof(void*),
              "the base holds nothing but the table pointer");
static_assert(std::is_same_v<decltype(std::declval<TRMLPluginInterface&>().execute()), bool> &&
                  std::is_same_v<decltype(std::declval<TRMLPluginInterface&>().initPlugin()), bool>,
              "the host reads execute's and initPlugin's results as bool");
#if BRINDLE_SCALAR_DELETING_DESTRUCTOR
static_assert(!std::has_virtual_destructor_v<TRMLPluginInterface>,
              "under GCC a virtual destructor takes two slots ahead of execute");
static_assert(std::is_same_v<decltype(&TRMLPluginInterface::scalarDeletingDestructor),
                             void* (TRMLPluginInterface::*)(unsigned int) noexcept>,
              "slot 0 is the host's scalar deleting destructor: (this, flags) -> this");
static_assert(!std::is_destructible_v<TRMLPluginInterface>,
              "nothing may delete a plug-in through the base but slot 0");
#else
static_assert(std::has_virtual_destructor_v<TRMLPluginInterface>,
              "slot 0 is the virtual destructor");
#endif
