#pragma once

// The situation of one request item on a reference day, as the server sends
// it per item (IDSITUACAO) and counts it per branch: a sum of these bits.
namespace ItemSituation {
enum Bit : int {
    Consolidated = 1,
    Ordered = 2,          // has an order line
    OrderedGreater = 4,   // ordered base units against requested ones
    OrderedSmaller = 8,
    OrderedEqual = 16,
    DeliveryOverdue = 32, // through the operator, no order line, delivery day past
    ShippingOverdue = 64, // an open line whose shipping day is past
    NegativeStock = 128,  // an open line whose stock at the operator is negative
};
} // namespace ItemSituation
