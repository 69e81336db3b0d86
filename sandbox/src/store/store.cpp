#include "store/store.hpp"

#include "store/schema.hpp"

namespace QuarloSandbox {

Store::Store(std::string path) : pool_(std::move(path)) {
  auto lease = pool_.Acquire();
  EnsureSchema(*lease);
}

}  // namespace QuarloSandbox
