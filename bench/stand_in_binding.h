// Binds this benchmark process to the stand-in server's virtual-machine
// library once, as the server binds the driver at load: counted texts need
// its allocator, language values its conversions.
//
// Threads: call from the benchmark thread; the first call binds, later ones
// answer what it did.
#ifndef KQ230_BENCH_STAND_IN_BINDING_H_
#define KQ230_BENCH_STAND_IN_BINDING_H_

namespace kqbench {

// True when the stand-in is bound (now or by an earlier call).
bool bBindToStandIn();

}  // namespace kqbench

#endif  // KQ230_BENCH_STAND_IN_BINDING_H_
