// The metrics Prometheus scrapes, built from every controller's last poll.
#pragma once

#include <prometheus/collectable.h>
#include <prometheus/metric_family.h>

#include <memory>
#include <vector>

#include "exporter/controller_poller.h"

namespace pelvane::exporter {

class BusMetrics : public prometheus::Collectable {
  public:
    explicit BusMetrics(std::vector<const ControllerPoller*> pollers)
        : pollers_(std::move(pollers)) {}

    std::vector<prometheus::MetricFamily> Collect() const override;

  private:
    std::vector<const ControllerPoller*> pollers_;
};

}  // namespace pelvane::exporter
