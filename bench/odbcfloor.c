/* brettholm32-odbcfloor: what the ODBC driver costs on its own, the floor of the export's
 * client/server rows in bench/run.sh. Not shipped.
 *
 *   brettholm32-odbcfloor CONNECTION STATEMENT-FILE LIST
 *
 * Runs the export's log statement (the file, with one "?" for the list) as the program reads it
 * from PostgreSQL: autocommit off, the same planner settings, a cursor WITH HOLD, batches of
 * FETCH FORWARD 2000, every column bound with the program's C types and widths in blocks of the
 * program's size, every row fetched and nothing converted; a value longer than its buffer is
 * left cut. Prints the number of rows. */
#include <sql.h>
#include <sqlext.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { BatchRows = 2000, MaxBlockRows = 1000, BlockBytes = 2 * 1024 * 1024, BoundTextChars = 255 };

typedef struct {
    SQLSMALLINT cType;
    SQLLEN width;
    char *buffer;
    SQLLEN *lengths;
} Column;

static SQLHENV environment;
static SQLHDBC connection;
static SQLHSTMT statement;

static void fail(const char *what, SQLSMALLINT type, SQLHANDLE handle)
{
    SQLCHAR state[6] = "";
    SQLCHAR text[1024] = "";
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &length);
    fprintf(stderr, "%s: %s %s\n", what, (const char *)state, (const char *)text);
    exit(1);
}

/* UTF-8 to the UTF-16 of the wide calls; the program speaks to the driver only through those,
 * and psqlODBC converts text by the process's locale on a connection made with the narrow ones.
 * Owned by the caller. */
static SQLWCHAR *wide(const char *text)
{
    const unsigned char *in = (const unsigned char *)text;
    SQLWCHAR *out = malloc((strlen(text) + 1) * 2 * sizeof *out);
    size_t n = 0;
    while (*in) {
        unsigned long c = *in++;
        int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        c &= more == 3 ? 0x07 : more == 2 ? 0x0F : more == 1 ? 0x1F : 0x7F;
        for (; more > 0 && (*in & 0xC0) == 0x80; --more)
            c = (c << 6) | (*in++ & 0x3F);
        if (c >= 0x10000) {
            out[n++] = (SQLWCHAR)(0xD800 + ((c - 0x10000) >> 10));
            c = 0xDC00 + ((c - 0x10000) & 0x3FF);
        }
        out[n++] = (SQLWCHAR)c;
    }
    out[n] = 0;
    return out;
}

static void run(const char *text)
{
    SQLFreeStmt(statement, SQL_CLOSE);
    SQLWCHAR *command = wide(text);
    if (!SQL_SUCCEEDED(SQLExecDirectW(statement, command, SQL_NTS)))
        fail(text, SQL_HANDLE_STMT, statement);
    free(command);
}

static char *readFile(const char *path)
{
    FILE *file = fopen(path, "rb");
    if (!file) {
        perror(path);
        exit(1);
    }
    fseek(file, 0, SEEK_END);
    const long size = ftell(file);
    rewind(file);
    char *text = malloc((size_t)size + 1);
    if (!text || fread(text, 1, (size_t)size, file) != (size_t)size) {
        fprintf(stderr, "%s: cannot be read\n", path);
        exit(1);
    }
    text[size] = '\0';
    fclose(file);
    /* The statement without its trailing line break and semicolon: it goes into DECLARE. */
    for (long end = size - 1; end >= 0 && strchr(";\r\n ", text[end]); --end)
        text[end] = '\0';
    return text;
}

int main(int argc, char **argv)
{
    if (argc != 4) {
        fputs("usage: brettholm32-odbcfloor CONNECTION STATEMENT-FILE LIST\n", stderr);
        return 2;
    }
    char *select = readFile(argv[2]);
    static const char prefix[] = "DECLARE brettholm_floor CURSOR WITH HOLD FOR ";
    char *declare = malloc(sizeof prefix + strlen(select));
    strcpy(declare, prefix);
    strcat(declare, select);

    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment);
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection);
    if (!SQL_SUCCEEDED(SQLDriverConnectW(connection, NULL, wide(argv[1]), SQL_NTS, NULL, 0, NULL,
                                         SQL_DRIVER_NOPROMPT)))
        fail("connect", SQL_HANDLE_DBC, connection);
    SQLSetConnectAttr(connection, SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)SQL_AUTOCOMMIT_OFF,
                      SQL_IS_UINTEGER);
    SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement);
    SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT, (SQLPOINTER)30, SQL_IS_UINTEGER);
    run("SELECT set_config(name, CASE name WHEN 'jit' THEN 'off' ELSE '1' END, true) "
        "FROM pg_settings WHERE name IN ('jit', 'cursor_tuple_fraction')");

    SQLFreeStmt(statement, SQL_CLOSE);
    SQLWCHAR *list = wide(argv[3]);
    SQLULEN listChars = 0;
    while (list[listChars])
        ++listChars;
    SQLLEN listBytes = (SQLLEN)(listChars * sizeof *list);
    if (!SQL_SUCCEEDED(SQLBindParameter(statement, 1, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                        listChars ? listChars : 1, 0, list, listBytes, &listBytes))
        || !SQL_SUCCEEDED(SQLExecDirectW(statement, wide(declare), SQL_NTS)))
        fail("DECLARE", SQL_HANDLE_STMT, statement);
    SQLFreeStmt(statement, SQL_RESET_PARAMS);
    char fetch[64];
    snprintf(fetch, sizeof fetch, "FETCH FORWARD %d FROM brettholm_floor", BatchRows);
    run(fetch);

    SQLSMALLINT count = 0;
    SQLNumResultCols(statement, &count);
    Column *columns = calloc((size_t)count, sizeof *columns);
    SQLULEN rowBytes = 0;
    for (SQLSMALLINT i = 0; i < count; ++i) {
        SQLSMALLINT type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        SQLDescribeCol(statement, (SQLUSMALLINT)(i + 1), NULL, 0, NULL, &type, &size, &digits,
                       &nullable);
        /* The C types and widths the program binds. */
        const SQLULEN text = size == 0 || size > BoundTextChars ? BoundTextChars : size;
        switch (type) {
        case SQL_INTEGER:
        case SQL_SMALLINT:
        case SQL_TINYINT:
        case SQL_BIT:
            columns[i].cType = SQL_C_SBIGINT;
            columns[i].width = sizeof(SQLBIGINT);
            break;
        case SQL_FLOAT:
        case SQL_DOUBLE:
            columns[i].cType = SQL_C_DOUBLE;
            columns[i].width = sizeof(SQLDOUBLE);
            break;
        case SQL_REAL:
            columns[i].cType = SQL_C_FLOAT;
            columns[i].width = sizeof(SQLREAL);
            break;
        case SQL_DECIMAL:
        case SQL_NUMERIC:
        case SQL_BIGINT:
            columns[i].cType = SQL_C_CHAR;
            columns[i].width = (SQLLEN)(size + 3 < 32 ? 32 : size + 3 > 128 ? 128 : size + 3);
            break;
        case SQL_TYPE_DATE:
            columns[i].cType = SQL_C_TYPE_DATE;
            columns[i].width = sizeof(SQL_DATE_STRUCT);
            break;
        case SQL_TYPE_TIMESTAMP:
            columns[i].cType = SQL_C_TYPE_TIMESTAMP;
            columns[i].width = sizeof(SQL_TIMESTAMP_STRUCT);
            break;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            columns[i].cType = SQL_C_BINARY;
            columns[i].width = (SQLLEN)text;
            break;
        default:
            columns[i].cType = SQL_C_WCHAR;
            columns[i].width = (SQLLEN)(text + 1) * 2;
        }
        rowBytes += (SQLULEN)columns[i].width + sizeof(SQLLEN);
    }
    SQLULEN rows = BlockBytes / rowBytes;
    rows = rows < 1 ? 1 : rows > MaxBlockRows ? MaxBlockRows : rows;
    SQLSetStmtAttr(statement, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)rows, 0);
    SQLULEN fetched = 0;
    SQLSetStmtAttr(statement, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    for (SQLSMALLINT i = 0; i < count; ++i) {
        columns[i].buffer = malloc(rows * (SQLULEN)columns[i].width);
        columns[i].lengths = malloc(rows * sizeof(SQLLEN));
    }

    long long total = 0;
    SQLULEN inBatch = 0;
    for (;;) {
        /* The batch's result set is a new one each time: its columns are bound again. */
        for (SQLSMALLINT i = 0; i < count; ++i)
            SQLBindCol(statement, (SQLUSMALLINT)(i + 1), columns[i].cType, columns[i].buffer,
                       columns[i].width, columns[i].lengths);
        SQLRETURN result;
        while (SQL_SUCCEEDED(result = SQLFetch(statement))) {
            total += (long long)fetched;
            inBatch += fetched;
        }
        if (result != SQL_NO_DATA)
            fail("FETCH", SQL_HANDLE_STMT, statement);
        if (inBatch != BatchRows)
            break;
        inBatch = 0;
        run(fetch);
    }
    run("CLOSE brettholm_floor");
    SQLEndTran(SQL_HANDLE_DBC, connection, SQL_COMMIT);
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    SQLDisconnect(connection);
    SQLFreeHandle(SQL_HANDLE_DBC, connection);
    SQLFreeHandle(SQL_HANDLE_ENV, environment);
    printf("%lld\n", total);
    return 0;
}
