#pragma once

namespace ConfiguratorWindowInnter {
class Worker;
}

// The process-wide status thread of the printer page and its worker, which
// polls the last used server. Both are created by the first call and stay
// until the application object goes; polls queue up on the one thread.
namespace statusthread {

// The status worker, living on the running status thread.
ConfiguratorWindowInnter::Worker *worker();

} // namespace statusthread
