// Found first by the foundation, the registers and the catalog, in place of
// SQLite's own header: their code must not talk to a database client.
#error "sqlite3.h is out of reach here: windows reach the database only through the transaction interface (foundation/transaction.h); database code belongs in storage/ and postgres/."
