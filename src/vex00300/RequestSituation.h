#pragma once

// The situations a clerk filters requests by. Page 1's count columns open
// page 2 filtered to one of them, so both pages speak this one list.
enum class RequestSituation {
    All,                 // "Todas"
    OverdueWithoutOrder, // "Sem pedido vencidas": QTATRASOPED
    OverdueShipping,     // "Embarque vencido": QTATRASOEMB
    NegativeStock,       // "Estoque negativo": QTESTNEG
    Above,               // "Maior": QTMAIOR
    Below,               // "Menor": QTMENOR
};
