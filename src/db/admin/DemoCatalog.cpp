#include "DemoCatalog.h"

namespace VexDb {

namespace {

struct BranchRow
{
    const char *code;
    const char *name;
    const char *region;
    const char *servedBy;
    const char *routedVia;
    int weight;
};

// Operators first; then the requesting branches by region. Manaus and
// Belém have no serving operator on file but route through Jaboatão; Porto
// Velho and Macapá, Cuiabá and Aracaju buy only direct deliveries.
const BranchRow kBranches[] = {
    {"0001", "OL Cajamar", "SP", "", "", 0},
    {"0002", "OL Contagem", "MG", "", "", 0},
    {"0003", "OL Jaboatão", "NE", "", "", 0},
    {"0010", "São Paulo - Centro", "SP", "0001", "0001", 4},
    {"0011", "São Paulo - Mooca", "SP", "0001", "0001", 3},
    {"0012", "Campinas", "SP", "0001", "0001", 3},
    {"0013", "Santos", "SP", "0001", "0001", 2},
    {"0014", "Sorocaba", "SP", "0001", "0001", 2},
    {"0015", "Ribeirão Preto", "SP", "0001", "0001", 2},
    {"0016", "São José dos Campos", "SP", "0001", "0001", 2},
    {"0017", "Jundiaí", "SP", "0001", "0001", 1},
    {"0018", "Bauru", "SP", "0001", "0001", 1},
    {"0019", "Piracicaba", "SP", "0001", "0001", 1},
    {"0020", "Curitiba", "SUL", "0001", "0001", 3},
    {"0021", "Londrina", "SUL", "0001", "0001", 1},
    {"0022", "Joinville", "SUL", "0001", "0001", 1},
    {"0023", "Florianópolis", "SUL", "0001", "0001", 2},
    {"0024", "Porto Alegre", "SUL", "0001", "0001", 3},
    {"0025", "Caxias do Sul", "SUL", "0001", "0001", 1},
    {"0030", "Belo Horizonte", "MG", "0002", "0002", 3},
    {"0031", "Uberlândia", "MG", "0002", "0002", 2},
    {"0032", "Juiz de Fora", "MG", "0002", "0002", 1},
    {"0033", "Montes Claros", "MG", "0002", "0002", 1},
    {"0034", "Rio de Janeiro", "RJ", "0002", "0002", 4},
    {"0035", "Niterói", "RJ", "0002", "0002", 2},
    {"0036", "Vitória", "RJ", "0002", "0002", 2},
    {"0037", "Brasília", "CO", "0002", "0002", 3},
    {"0038", "Goiânia", "CO", "0002", "0002", 2},
    {"0039", "Campo Grande", "CO", "0002", "0002", 1},
    {"0040", "Cuiabá", "CO", "0002", "", 1},
    {"0050", "Recife", "NE", "0003", "0003", 3},
    {"0051", "Salvador", "NE", "0003", "0003", 3},
    {"0052", "Fortaleza", "NE", "0003", "0003", 3},
    {"0053", "Natal", "NE", "0003", "0003", 1},
    {"0054", "João Pessoa", "NE", "0003", "0003", 1},
    {"0055", "Maceió", "NE", "0003", "0003", 1},
    {"0056", "Aracaju", "NE", "0003", "", 1},
    {"0057", "São Luís", "NE", "0003", "0003", 1},
    {"0058", "Teresina", "NE", "0003", "0003", 1},
    {"0059", "Feira de Santana", "NE", "0003", "0003", 1},
    {"0060", "Manaus", "NO", "", "0003", 2},
    {"0061", "Belém", "NO", "", "0003", 2},
    {"0062", "Porto Velho", "NO", "", "", 1},
    {"0063", "Macapá", "NO", "", "", 1},
};

struct ItemBase
{
    const char *name;
    const char *unit;
    int factor;
    const char *sizes; // '|'-separated; empty: the name says it all
};

struct SubgroupRow
{
    const char *name;
    QList<ItemBase> items;
};

struct GroupRow
{
    const char *name;
    QList<SubgroupRow> subgroups;
};

const QList<GroupRow> &groups()
{
    static const QList<GroupRow> list = {
        {"Alimentos",
         {{"Grãos e Cereais",
           {{"Arroz Branco Tipo 1", "PCT", 1, "1 kg|2 kg|5 kg"},
            {"Arroz Parboilizado", "PCT", 1, "1 kg|5 kg"},
            {"Feijão Carioca Tipo 1", "PCT", 1, "1 kg|2 kg"},
            {"Feijão Preto", "PCT", 1, "1 kg"},
            {"Lentilha", "PCT", 1, "500 g"},
            {"Farinha de Mandioca", "KG", 1, ""}}},
          {"Massas",
           {{"Macarrão Espaguete", "FD", 12, "500 g|1 kg"},
            {"Macarrão Parafuso", "FD", 12, "500 g"},
            {"Lasanha Pré-Cozida", "CX", 6, "500 g"},
            {"Talharim com Ovos", "FD", 12, "500 g"}}},
          {"Óleos e Azeites",
           {{"Óleo de Soja", "CX", 12, "900 ml"},
            {"Azeite de Oliva Extra Virgem", "CX", 6, "500 ml|250 ml"},
            {"Óleo de Girassol", "CX", 12, "900 ml"}}},
          {"Enlatados e Conservas",
           {{"Sardinha em Óleo", "CX", 12, "125 g"},
            {"Atum Ralado", "CX", 12, "170 g"},
            {"Milho Verde em Conserva", "CX", 12, "200 g"},
            {"Extrato de Tomate", "CX", 12, "340 g|140 g"},
            {"Azeitona Verde", "UN", 1, "500 g"}}}}},
        {"Bebidas",
         {{"Refrigerantes",
           {{"Refrigerante Cola", "FD", 6, "2 l|350 ml"},
            {"Refrigerante Guaraná", "FD", 6, "2 l|350 ml"},
            {"Refrigerante Laranja", "FD", 6, "2 l"}}},
          {"Sucos e Néctares",
           {{"Suco de Uva Integral", "CX", 6, "1 l"},
            {"Néctar de Pêssego", "CX", 12, "1 l"},
            {"Suco de Laranja", "LT", 1, ""}}},
          {"Águas",
           {{"Água Mineral sem Gás", "FD", 12, "500 ml|1,5 l"},
            {"Água Mineral com Gás", "FD", 12, "500 ml"},
            {"Água Mineral Galão", "UN", 1, "20 l"}}}}},
        {"Limpeza",
         {{"Detergentes e Lava-Louças",
           {{"Detergente Líquido Neutro", "CX", 12, "500 ml"},
            {"Detergente Líquido Limão", "CX", 12, "500 ml"},
            {"Lava-Louças em Pó", "UN", 1, "1 kg"}}},
          {"Roupas",
           {{"Sabão em Pó", "CX", 6, "1 kg|2 kg"},
            {"Amaciante de Roupas", "CX", 6, "2 l"},
            {"Sabão em Barra", "PCT", 1, "5 x 200 g"}}},
          {"Desinfetantes",
           {{"Desinfetante Lavanda", "CX", 12, "2 l|500 ml"},
            {"Água Sanitária", "CX", 12, "1 l|2 l"},
            {"Álcool Líquido 70%", "LT", 1, ""}}},
          {"Esponjas e Panos",
           {{"Esponja Dupla Face", "PCT", 1, "3 unidades"},
            {"Pano de Chão Alvejado", "UN", 1, ""},
            {"Palha de Aço", "FD", 2, "8 unidades"}}}}},
        {"Higiene Pessoal",
         {{"Sabonetes",
           {{"Sabonete em Barra Erva-Doce", "CX", 12, "90 g"},
            {"Sabonete Líquido Neutro", "UN", 1, "250 ml"}}},
          {"Higiene Bucal",
           {{"Creme Dental com Flúor", "CX", 12, "90 g"},
            {"Escova Dental Macia", "UN", 1, ""},
            {"Fio Dental", "UN", 1, "50 m"}}},
          {"Papéis",
           {{"Papel Higiênico Folha Dupla", "FD", 2, "12 rolos|4 rolos"},
            {"Papel Toalha", "FD", 6, "2 rolos"},
            {"Lenço de Papel", "CX", 12, "50 folhas"}}},
          {"Cabelos",
           {{"Shampoo Cabelos Normais", "UN", 1, "350 ml"},
            {"Condicionador Hidratante", "UN", 1, "350 ml"}}}}},
        {"Frios e Laticínios",
         {{"Leites",
           {{"Leite UHT Integral", "CX", 12, "1 l"},
            {"Leite UHT Desnatado", "CX", 12, "1 l"},
            {"Leite em Pó Integral", "UN", 1, "400 g"}}},
          {"Queijos",
           {{"Queijo Muçarela Fatiado", "KG", 1, ""},
            {"Queijo Prato Peça", "KG", 1, ""},
            {"Requeijão Cremoso", "CX", 12, "200 g"}}},
          {"Manteigas e Margarinas",
           {{"Manteiga com Sal", "CX", 12, "200 g"},
            {"Margarina Cremosa", "CX", 12, "500 g|250 g"}}}}},
        {"Matinais e Padaria",
         {{"Cafés",
           {{"Café Torrado e Moído", "FD", 10, "500 g|250 g"},
            {"Café Solúvel", "UN", 1, "200 g"}}},
          {"Biscoitos",
           {{"Biscoito Cream Cracker", "CX", 12, "400 g"},
            {"Biscoito Recheado Chocolate", "CX", 12, "140 g"},
            {"Biscoito Maria", "CX", 12, "400 g"}}},
          {"Achocolatados e Cereais",
           {{"Achocolatado em Pó", "UN", 1, "400 g|800 g"},
            {"Cereal Matinal de Milho", "UN", 1, "300 g"},
            {"Aveia em Flocos", "UN", 1, "500 g"}}}}},
        {"Descartáveis",
         {{"Copos e Pratos",
           {{"Copo Descartável", "CX", 20, "200 ml 100 unidades|50 ml 100 unidades"},
            {"Prato Descartável Raso", "PCT", 1, "10 unidades"}}},
          {"Sacos",
           {{"Saco de Lixo Preto", "PCT", 1, "100 l|50 l|30 l"},
            {"Saco Plástico para Alimentos", "PCT", 1, "5 kg"}}},
          {"Guardanapos",
           {{"Guardanapo de Papel", "PCT", 1, "50 folhas"},
            {"Toalha Interfolhada", "FD", 12, "1000 folhas"}}}}},
        {"Papelaria",
         {{"Papéis de Escritório",
           {{"Papel Sulfite A4", "CX", 10, "500 folhas"},
            {"Bloco de Recados Adesivo", "PCT", 1, "4 blocos"}}},
          {"Escrita",
           {{"Caneta Esferográfica Azul", "CX", 12, ""},
            {"Caneta Esferográfica Preta", "CX", 12, ""},
            {"Lápis Preto nº 2", "CX", 12, ""},
            {"Marcador de Texto Amarelo", "CX", 12, ""}}},
          {"Arquivo",
           {{"Pasta Suspensa Kraft", "CX", 50, ""},
            {"Caixa Arquivo Morto", "UN", 1, ""},
            {"Grampo para Grampeador", "CX", 1, "26/6 5000 unidades"}}}}},
    };
    return list;
}

} // namespace

DemoCatalog::DemoCatalog()
{
    addBranches();
    addProducts();
}

QStringList DemoCatalog::operatorCodes() const
{
    QStringList codes;
    for (const DemoBranch &b : m_branches) {
        if (b.isOperator)
            codes << b.code;
    }
    return codes;
}

void DemoCatalog::addBranches()
{
    QString central;
    QString region;
    for (const BranchRow &row : kBranches) {
        DemoBranch b;
        b.code = QString::fromLatin1(row.code);
        b.name = QString::fromUtf8(row.name);
        b.region = QString::fromLatin1(row.region);
        b.isOperator = row.weight == 0;
        b.servedBy = QString::fromLatin1(row.servedBy);
        b.routedVia = QString::fromLatin1(row.routedVia);
        b.weight = row.weight;
        if (!b.isOperator && b.region != region) {
            // The first branch of a region buys for the region.
            region = b.region;
            central = b.code;
            b.centralReceiving = true;
        }
        b.central = b.isOperator ? QString() : central;
        m_branches << b;
    }
}

int DemoCatalog::addProduct(const QString &tree, const QString &name, int level)
{
    DemoProduct p;
    p.code = QStringLiteral("%1").arg(m_products.size() + 1, 6, 10, QLatin1Char('0'));
    p.tree = tree;
    p.name = name.left(50);
    p.level = level;
    m_products << p;
    return int(m_products.size()) - 1;
}

void DemoCatalog::addProducts()
{
    const int brandPool = 40;
    int groupNo = 0;
    for (const GroupRow &g : groups()) {
        const QString groupTree = QStringLiteral("%1").arg(++groupNo, 2, 10, QLatin1Char('0'));
        addProduct(groupTree, QString::fromUtf8(g.name), 1);
        int subNo = 0;
        for (const SubgroupRow &s : g.subgroups) {
            const QString subTree =
                groupTree + QStringLiteral("%1").arg(++subNo, 2, 10, QLatin1Char('0'));
            const int subIndex = addProduct(subTree, QString::fromUtf8(s.name), 2);
            int itemNo = 0;
            for (const ItemBase &base : s.items) {
                QStringList sizes = QString::fromUtf8(base.sizes).split(QLatin1Char('|'));
                for (const QString &size : sizes) {
                    QString name = QString::fromUtf8(base.name);
                    if (!size.isEmpty())
                        name += QLatin1Char(' ') + size;
                    const QString tree =
                        subTree + QStringLiteral("%1").arg(++itemNo, 4, 10, QLatin1Char('0'));
                    const int index = addProduct(tree, name, 3);
                    DemoProduct &p = m_products[index];
                    p.unit = QString::fromLatin1(base.unit);
                    p.factor = base.factor;
                    p.subgroup = subIndex;
                    // One to three brands, spread over the pool.
                    const int brands = 1 + int(m_items.size() % 3);
                    for (int i = 0; i < brands; ++i) {
                        const int brand = 1 + (int(m_items.size()) * 7 + i * 13) % brandPool;
                        p.brands << QStringLiteral("%1").arg(brand, 5, 10, QLatin1Char('0'));
                    }
                    m_items << index;
                }
            }
        }
    }
}

} // namespace VexDb
