# Tests of the table, the compressed table, the writers and the dispatch.
