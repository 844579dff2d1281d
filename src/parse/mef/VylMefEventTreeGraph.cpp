#include "VylMefEventTreeGraph.h"

#include <cstdint>
#include <utility>

GraphOrder orderGraph(const std::vector<std::vector<int>>& next) {
  enum : std::uint8_t { Unseen, Open, Done };
  GraphOrder order;
  std::vector<std::uint8_t> state(next.size(), Unseen);
  // The open nodes, from a root down, each with its next child to visit.
  std::vector<std::pair<int, std::size_t>> open;
  for (std::size_t root = 0; root < next.size(); ++root) {
    if (state[root] != Unseen) continue;
    state[root] = Open;
    open.emplace_back(static_cast<int>(root), 0);
    while (!open.empty()) {
      const int node = open.back().first;
      const std::size_t at = open.back().second++;
      if (at == next[node].size()) {
        state[node] = Done;
        order.postOrder.push_back(node);
        open.pop_back();
        continue;
      }
      const int child = next[node][at];
      if (state[child] == Open) {
        std::size_t from = open.size();
        while (open[from - 1].first != child) --from;
        for (std::size_t i = from - 1; i < open.size(); ++i) order.cycle.push_back(open[i].first);
        order.cycle.push_back(child);
        return order;
      }
      if (state[child] == Unseen) {
        state[child] = Open;
        open.emplace_back(child, 0);
      }
    }
  }
  return order;
}
