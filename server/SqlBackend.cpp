#include "SqlBackend.h"

namespace server {

TBackendPool::TBackendPool(const TBackendFactory& factory, int count) {
  for (int i = 0; i < count; ++i) FFree.push_back(factory());
}

TBackendPool::TLease TBackendPool::Acquire() {
  std::unique_lock lock(FLock);
  FFreed.wait(lock, [this] { return !FFree.empty(); });
  auto backend = std::move(FFree.back());
  FFree.pop_back();
  return TLease(*this, std::move(backend));
}

void TBackendPool::Release(std::unique_ptr<TSqlBackend> backend) {
  std::lock_guard lock(FLock);
  FFree.push_back(std::move(backend));
  FFreed.notify_one();
}

}  // namespace server
